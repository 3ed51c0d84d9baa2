#include <gtest/gtest.h>

#include <map>
#include <string>

#include "ServiceClient.h"
#include "Simulation.h"

namespace {

// The simulator's session against the service: every player with its own
// client and token, behaviours as offline, every player idle at the end.
TEST(SimulatorOverNetwork, PlaysASessionAgainstTheServiceWithEveryPlayerIdleAtTheEnd) {
    server_net_test::ServerProcess service({"--listen", "127.0.0.1:0", "--dev-sessions"});
    ASSERT_TRUE(service.running());
    KRSimulator::SimulationOptions options;
    options.backend = service.url();
    options.players = 20;
    options.hopper_id = KRSimulator::HopperIdForSize(2);
    options.decline_fraction = 0.2;
    options.join_spread_ms = 300;
    options.start_delay_ms = 100;
    options.frame_ms = 5;
    options.progress_every_ms = 0;
    KRSimulator::SimulationSummary summary;
    std::string error;
    ASSERT_TRUE(KRSimulator::RunSimulation(options, &summary, &error)) << error;
    EXPECT_FALSE(summary.safety_limit_hit);
    EXPECT_TRUE(summary.invariant_violations.empty()) << summary.invariant_violations.front();
    std::map<std::string, int> outcomes;
    for (const KRSimulator::Attempt& attempt : summary.attempts) {
        ++outcomes[KRSimulator::AttemptOutcome(attempt)];
    }
    EXPECT_GT(outcomes["started"], 0);
    EXPECT_EQ(outcomes["declined"], 4);
}

}  // namespace
