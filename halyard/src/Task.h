#pragma once

#include <memory>

#include "LiveCounts.h"
#include "Loopback.h"
#include "Transport.h"

// A request in flight. A loopback task carries its own copy of the answer; a
// networked one shares its exchange with the transport. Either stays valid
// after the client that issued it is freed; its polls count on the client
// while that lives.
struct hy_task {
    hy_task(halyard::Answer answer, std::shared_ptr<hy_client*> client)
        : answer(std::move(answer)),
          pollsLeft(this->answer.pendingPolls),
          client(std::move(client)) {
        halyard::CountCreated(halyard::LiveKind::Task);
    }
    hy_task(std::shared_ptr<halyard::Exchange> exchange, std::shared_ptr<hy_client*> client)
        : pollsLeft(0), client(std::move(client)), exchange(std::move(exchange)) {
        halyard::CountCreated(halyard::LiveKind::Task);
    }
    ~hy_task() { halyard::CountFreed(halyard::LiveKind::Task); }
    hy_task(const hy_task&) = delete;
    hy_task& operator=(const hy_task&) = delete;

    bool finished() const { return exchange != nullptr ? exchange->finished : pollsLeft == 0; }
    const halyard::Answer& result() const {
        return exchange != nullptr ? exchange->answer : answer;
    }

    halyard::Answer answer;
    uint32_t pollsLeft;  // "pending" answers still to give
    std::shared_ptr<hy_client*> client;
    std::shared_ptr<halyard::Exchange> exchange;  // null for the loopback
};
