// A whole matchmaking road through a real matchmaker with the emulator behind
// the exported switch standing in for the backend: a game without a backend
// client, alone in the solo hopper, from ticket to started match and back to
// idle. (The simulator's sessions run games with a client, crowded hoppers
// included.)
#include "EmulatorFixture.h"
#include "KRMatchmakingSystem.h"
#include "support/MatchmakerTestSupport.h"

namespace emulator_test {
namespace {

// The leader's id, read while MMS_MATCH_STARTED is announced: it is left in that pass.
void KRMM_CALL OnMessage(krmm_matchmaker* mm, const char* name, int32_t value, const char*,
                         void* leader_id) {
    if (std::string(name) == "state" && value == MMS_MATCH_STARTED) {
        *static_cast<std::string*>(leader_id) = krmm_get_match_info_team_member_id(mm, 0, 0);
    }
}

TEST_F(EmulatorTest, AGameWithoutABackendClientRunsTheWholeRoadOnTheEmulator) {
    krmm_test::SetClock(100000);
    krmm_test::Recorder recorder;
    std::string leader_id;
    krmm_matchmaker* mm =
        krmm_create_matchmaking(nullptr, "player", MMF_AUTO_ACCEPT | MMF_AUTO_START | 0xFFu);
    recorder.Attach(mm);
    krmm_register_msg_callback(mm, &OnMessage, &leader_id);
    krmm_set_emulator(mm, 1);
    ASSERT_EQ(krmm_start_matchmaking(mm, kSoloHopper, nullptr, nullptr, 0, nullptr, nullptr), 1);
    for (int frame = 0; frame < 3000 && (leader_id.empty() || !krmm_is_idle(mm)); ++frame) {
        krmm_test::AdvanceClock(100);
        krmm_process(mm);
    }
    // Alone in its match, it leads and starts it with the switch's identity.
    EXPECT_EQ(recorder.States(),
              (std::vector<int32_t>{MMS_REQUEST_TICKET, MMS_INITIAL_KEEPALIVE, MMS_MATCHED,
                                    MMS_ACCEPT_MATCH, MMS_ACCEPTED_LEADER, MMS_MATCH_STARTED_WAIT,
                                    MMS_MATCH_STARTED, MMS_RESTART, MMS_INIT, MMS_IDLE}));
    EXPECT_TRUE(recorder.Values("error").empty());
    EXPECT_FALSE(recorder.HasLine("Failed to parse the matchable status json"));
    EXPECT_EQ(leader_id, std::string(hye_client_get_identity_id(nullptr)));
    krmm_free_matchmaking(mm);
    EXPECT_EQ(emu().task_count(), 0u);  // every emulated task was freed again
    hye_emulator_init(0);
    krmm_test::ReleaseClock();
}

}  // namespace
}  // namespace emulator_test
