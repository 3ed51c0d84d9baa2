#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "Changes.h"
#include "Clocks.h"
#include "Formation.h"
#include "MemoryStore.h"
#include "Tickets.h"

namespace server_test {

using namespace KRHalyardServer;

constexpr const char* kSolo = "dcb02466-a5de-5d58-8ce3-552e6c7747ae";
constexpr const char* kDuel = "0e6976d1-1655-5da5-8354-3d3a38537aed";
constexpr const char* kTen = "30ac7aba-e072-52cf-b30d-d88c2ff89f76";

// Every store runs the same suites: a shared store adds its factory to the
// instantiations at the end of each suite.
using StoreFactory = std::function<std::unique_ptr<Store>()>;

inline std::unique_ptr<Store> NewMemoryStore() {
    return std::make_unique<MemoryStore>();
}

// The service's parts over one store, on a clock the test moves.
class CoreTest : public ::testing::TestWithParam<StoreFactory> {
protected:
    CoreTest()
        : store_(GetParam()()),
          hoppers_(Hoppers::Defaults()),
          context_{*store_, clock_, hoppers_, settings_, metrics_},
          formation_(context_),
          tickets_(context_, formation_),
          clocks_(context_, formation_) {}

    // A fresh identity, numbered, as a UUID.
    std::string Identity() {
        char text[40];
        std::snprintf(text, sizeof text, "00000000-0000-4000-8000-%012d", ++identities_);
        return text;
    }

    // A ticket of a new identity, kept alive once (in the pool from then on).
    std::string Queue(const char* hopper, TicketRequest request = {}) {
        request.hopper_id = hopper;
        const Outcome created = tickets_.Create(Identity(), request);
        EXPECT_EQ(created.refusal, Refusal::kNone) << created.error;
        clock_.Advance(1);  // distinct queue positions
        if (!created.ticket) {
            return std::string();
        }
        tickets_.KeepAlive(created.ticket->identity, created.ticket->id);
        return created.ticket->id;
    }

    Ticket Get(const std::string& id) { return *store_->GetTicket(id); }
    TicketState State(const std::string& id) { return Get(id).state; }
    Outcome Accept(const std::string& id) { return tickets_.Accept(Get(id).identity, id); }

    Settings settings_;
    ManualClock clock_;
    Metrics metrics_;
    std::unique_ptr<Store> store_;
    Hoppers hoppers_;
    Context context_;
    Formation formation_;
    Tickets tickets_;
    Clocks clocks_;
    int identities_ = 0;
};

}  // namespace server_test
