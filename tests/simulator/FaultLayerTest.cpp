// The emulator's fault layer and exchange observer, as a session drives
// them: what each request was answered, how long it stayed pending, and that
// without faults every answer is immediate and successful.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "CheckedRun.h"
#include "FaultOptions.h"
#include "Simulation.h"
#include "emulator/HalyardEmulator.h"

namespace KRSimulator {
namespace {

using KRHalyardEmulator::Exchange;
using KRHalyardEmulator::HalyardEmulator;
using KRHalyardEmulator::RequestKind;

// An exchange as the fault layer shaped it.
struct Seen {
    RequestKind kind;
    int32_t status;
    std::string body;
    uint32_t pending_polls;
};

// Runs one player alone in the hopper of one and returns every exchange.
std::vector<Seen> Exchanges(const char* fault) {
    std::vector<Seen> seen;
    HalyardEmulator::Instance().SetExchangeObserver(
        [](const Exchange& exchange, void* user) {
            static_cast<std::vector<Seen>*>(user)->push_back(
                Seen{exchange.kind, exchange.status, exchange.body, exchange.pending_polls});
        },
        &seen);
    SimulationOptions options = Options(1, 1);
    options.slow_max_ms = 160;  // ten frames
    options.give_up_ms = 800;   // fifty frames
    if (fault != nullptr) {
        EXPECT_EQ(ParseFaultSpec(fault, &options.faults), "");
    }
    RunChecked(options);
    HalyardEmulator::Instance().SetExchangeObserver(nullptr, nullptr);
    return seen;
}

// What each exchange carries (client, kind, argument, body) is proven by
// the recorded player's replay (PlayerRecordingTest): a wrong field there is
// a replay mismatch. Here: without faults nothing is held back or refused.
TEST(FaultLayerTest, WithoutFaultsEveryAnswerIsImmediateAndSuccessful) {
    const std::vector<Seen> seen = Exchanges(nullptr);
    ASSERT_GE(seen.size(), 4u);  // ticket, keep-alive, accept, start at least
    bool started = false;
    for (const Seen& exchange : seen) {
        EXPECT_EQ(std::make_pair(exchange.status, exchange.pending_polls), std::make_pair(200, 0u));
        started |= exchange.kind == RequestKind::kStart;
    }
    EXPECT_TRUE(started);
}

TEST(FaultLayerTest, FaultsShapeTheAnswers) {
    // Slow: carried out, answered within the limit.
    for (const Seen& exchange : Exchanges("keepalive:slow=1")) {
        if (exchange.kind == RequestKind::kKeepAlive) {
            EXPECT_EQ(exchange.status, 200);
            EXPECT_GE(exchange.pending_polls, 1u);
            EXPECT_LE(exchange.pending_polls, 10u);
        }
    }
    // Never: given up after the limit, without a response.
    const std::vector<Seen> lost = Exchanges("ticket:never=1");
    ASSERT_EQ(lost.size(), 1u);
    EXPECT_EQ(std::make_tuple(lost[0].status, lost[0].body, lost[0].pending_polls),
              std::make_tuple(-1, "", 50u));
    // A status: the request is lost, the answer says why.
    const std::vector<Seen> refused = Exchanges("accept:409=1");
    ASSERT_GE(refused.size(), 3u);
    EXPECT_EQ(std::make_tuple(refused[2].kind, refused[2].status, refused[2].body),
              std::make_tuple(RequestKind::kAccept, 409,
                              "{\"error\":\"emulated backend fault\",\"status\":409}"));
}

}  // namespace
}  // namespace KRSimulator
