// A simulated player's exchanges with the emulator, recorded with
// --record-player, replay on the loopback against a fresh matchmaker making
// the same moves: the same requests, every recorded answer used, and the
// same states the simulated player went through.
#include <algorithm>
#include <string>
#include <vector>

#include "CheckedRun.h"
#include "Simulation.h"
#include "halyard/HalyardTest.h"
#include "support/MatchmakerTestSupport.h"

namespace KRSimulator {
namespace {

using RecordReplay = krmm_test::MatchmakerTest;

TEST_F(RecordReplay, ARecordedPlayerReplaysOnTheLoopbackWithTheSameStates) {
    SimulationOptions options = Options(4, 2);
    options.heartbeat_ms = 2000;
    options.record_player = 1;
    const SimulationSummary summary = RunChecked(options);
    // The seed makes the recorded player lead its match, so the replay
    // starts it as well.
    ASSERT_EQ(summary.attempts.size(), options.players);
    for (const Attempt& attempt : summary.attempts) {
        EXPECT_TRUE(attempt.player != 0 || attempt.role == Role::kLeader);
    }
    std::vector<int32_t> simulated;
    for (const StateEvent& event : summary.events) {
        if (event.player == 0) {
            simulated.push_back(event.state);
        }
    }
    ASSERT_NE(std::find(simulated.begin(), simulated.end(), MMS_MATCH_STARTED), simulated.end());

    // The run released the clock; the replay runs on its own simulated time.
    krmm_test::SetClock(100000);
    ASSERT_EQ(hyl_load_scenario_text(client_, summary.recorded_scenario.c_str()), 0)
        << hyl_last_error();
    CreateMatchmaker(MMF_AUTO_ACCEPT | MMF_LOG_WARNING);
    krmm_set_matchmaking_timeout(mm_, options.matchmaking_timeout_ms);
    krmm_set_heartbeat_interval(mm_, options.heartbeat_ms);
    ASSERT_EQ(krmm_start_matchmaking(mm_, options.hopper_id.c_str(), nullptr, nullptr, 0, nullptr,
                                     nullptr),
              1);
    uint32_t start_in_ms = options.start_delay_ms;
    for (int frame = 0; frame < 100000 && !krmm_is_idle(mm_); ++frame) {
        Pump(1, options.frame_ms);
        if (krmm_test::StateOf(mm_) == MMS_ACCEPTED_LEADER) {
            start_in_ms -= std::min(start_in_ms, options.frame_ms);
            if (start_in_ms == 0) {
                krmm_start_match(mm_, LeaderJoinInfo(0).c_str());
            }
        }
    }
    EXPECT_EQ(rec_.States(), simulated);
    ExpectWholeReplay(client_);
}

}  // namespace
}  // namespace KRSimulator
