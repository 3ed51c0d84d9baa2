// A whole matchmaking road through real matchmakers with the emulator behind
// the exported switch standing in for the backend (the simulator's sessions
// cover crowded hoppers): here a game with a backend client and one without,
// each alone in the solo hopper, from ticket to started match and back to idle.
#include "EmulatorFixture.h"
#include "KRMatchmakingSystem.h"
#include "support/MatchmakerTestSupport.h"

namespace emulator_test {
namespace {

struct Player {
    hy_client* client = nullptr;  // null: a matchmaker without a backend client
    krmm_matchmaker* mm = nullptr;
    krmm_test::Recorder recorder;
    std::string leader_id;  // read while MMS_MATCH_STARTED is announced: it is left in that pass
};

void KRMM_CALL OnMessage(krmm_matchmaker* mm, const char* name, int32_t value, const char*,
                         void* player) {
    if (std::string(name) == "state" && value == MMS_MATCH_STARTED) {
        static_cast<Player*>(player)->leader_id = krmm_get_match_info_team_member_id(mm, 0, 0);
    }
}

TEST_F(EmulatorTest, GamesWithAndWithoutABackendClientRunTheWholeRoadOnTheEmulator) {
    krmm_test::SetClock(100000);
    Player players[2];
    players[0].client = hy_client_create(nullptr);
    for (Player& player : players) {
        player.mm = krmm_create_matchmaking(player.client, "player",
                                            MMF_AUTO_ACCEPT | MMF_AUTO_START | 0xFFu);
        player.recorder.Attach(player.mm);
        krmm_register_msg_callback(player.mm, &OnMessage, &player);
    }
    krmm_set_emulator(players[1].mm, 1);  // after the last creation, which switches it off
    for (Player& player : players) {
        ASSERT_EQ(
            krmm_start_matchmaking(player.mm, kSoloHopper, nullptr, nullptr, 0, nullptr, nullptr),
            1);
    }
    auto done = [&players]() {
        for (Player& player : players) {
            if (player.leader_id.empty() || !krmm_is_idle(player.mm)) {
                return false;
            }
        }
        return true;
    };
    for (int frame = 0; frame < 3000 && !done(); ++frame) {
        krmm_test::AdvanceClock(100);
        for (Player& player : players) {
            krmm_process(player.mm);
        }
    }
    for (Player& player : players) {
        // Alone in its match, each leads and starts it with the switch's identity.
        EXPECT_TRUE(ContainsInOrder(player.recorder.States(),
                                    {MMS_REQUEST_TICKET, MMS_INITIAL_KEEPALIVE, MMS_MATCHED,
                                     MMS_ACCEPT_MATCH, MMS_ACCEPTED_LEADER, MMS_MATCH_STARTED_WAIT,
                                     MMS_MATCH_STARTED, MMS_RESTART, MMS_INIT, MMS_IDLE}));
        EXPECT_TRUE(player.recorder.Values("error").empty());
        EXPECT_FALSE(player.recorder.HasLine("Failed to parse the matchable status json"));
        EXPECT_EQ(player.leader_id, std::string(hye_client_get_identity_id(player.client)));
        krmm_free_matchmaking(player.mm);
    }
    EXPECT_EQ(emu().task_count(), 0u);                    // every emulated task was freed again
    EXPECT_EQ(hyl_journal_count(players[0].client), 0u);  // nothing reached the client library
    hy_client_free(players[0].client);
    hye_emulator_init(0);
    krmm_test::ReleaseClock();
}

}  // namespace
}  // namespace emulator_test
