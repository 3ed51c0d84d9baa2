// A whole matchmaking road through real matchmakers, with the emulator behind
// the exported switch standing in for the backend: ticket, keep-alives, match,
// automatic accept and start, then back to idle.
#include <algorithm>
#include <memory>

#include "EmulatorFixture.h"
#include "KRMatchmakingSystem.h"
#include "support/MatchmakerTestSupport.h"

namespace emulator_test {
namespace {

constexpr uint32_t kRoadFlags = MMF_AUTO_ACCEPT | MMF_AUTO_START | MMF_LOG_INFO | MMF_LOG_DEBUG |
                                MMF_LOG_WARNING | MMF_LOG_ERROR;

// What one game's matchmaker showed on its way; the match is read while the
// "state" message of MMS_MATCH_STARTED is delivered, as the matchmaker leaves
// that state within the same pass.
struct Player {
    hy_client* client = nullptr;  // null: a matchmaker without a backend client
    krmm_matchmaker* mm = nullptr;
    krmm_test::Recorder recorder;
    bool idle_after_start = false;
    std::string match_id;
    std::string matchable_id;
    std::string leader_id;  // first member of the first team
    int32_t teams = 0;
};

void KRMM_CALL OnMessage(krmm_matchmaker* mm, const char* name, int32_t value, const char*,
                         void* user_data) {
    Player& player = *static_cast<Player*>(user_data);
    if (std::string(name) == "state" && value == MMS_MATCH_STARTED && player.match_id.empty()) {
        player.match_id = krmm_get_match_info_match_id(mm);
        player.matchable_id = krmm_get_match_info_matchable_id(mm);
        player.leader_id = krmm_get_match_info_team_member_id(mm, 0, 0);
        player.teams = krmm_get_match_info_num_teams(mm);
    }
    if (std::string(name) == "state" && value == MMS_IDLE && !player.match_id.empty()) {
        player.idle_after_start = true;
    }
}

// True when wanted occurs in states in this order, other states between.
bool ContainsInOrder(const std::vector<int32_t>& states, const std::vector<int32_t>& wanted) {
    std::size_t at = 0;
    for (int32_t state : states) {
        at += at < wanted.size() && state == wanted[at] ? 1 : 0;
    }
    return at == wanted.size();
}

class EmulatorRoadTest : public EmulatorTest {
protected:
    void SetUp() override {
        EmulatorTest::SetUp();
        krmm_test::SetClock(100000);
    }

    void TearDown() override {
        for (const auto& player : players_) {
            krmm_free_matchmaking(player->mm);
            hy_client_free(player->client);
        }
        hye_emulator_init(0);
        krmm_test::ReleaseClock();
        EmulatorTest::TearDown();
    }

    // One matchmaker per entry, on a loopback client or on none; the emulator
    // goes on after the last one, as making a matchmaker switches it off.
    void CreatePlayers(const std::vector<bool>& with_client) {
        for (const bool has_client : with_client) {
            players_.push_back(std::make_unique<Player>());
            Player& player = *players_.back();
            player.client = has_client ? hy_client_create(nullptr) : nullptr;
            player.mm = krmm_create_matchmaking(player.client, "player", kRoadFlags);
            ASSERT_NE(player.mm, nullptr);
            player.recorder.Attach(player.mm);
            krmm_register_msg_callback(player.mm, &OnMessage, &player);
        }
        krmm_set_emulator(players_.front()->mm, 1);
        ASSERT_EQ(hye_emulator_is_enabled(), 1);
    }

    // Frames of 100 ms for every game, until each has started its match and
    // come back to idle, or at most frames of them.
    void Drive(int frames = 3000) {
        for (int frame = 0; frame < frames; ++frame) {
            krmm_test::AdvanceClock(100);
            for (const auto& player : players_) {
                krmm_process(player->mm);
            }
            if (std::all_of(players_.begin(), players_.end(),
                            [](const auto& player) { return player->idle_after_start; })) {
                return;
            }
        }
    }

    // The states in order, no error, every body parsed, and the match read.
    void ExpectFullRoad(const Player& player, int32_t teams) {
        EXPECT_TRUE(player.idle_after_start);
        EXPECT_TRUE(ContainsInOrder(
            player.recorder.States(),
            {MMS_REQUEST_TICKET, MMS_INITIAL_KEEPALIVE, MMS_MATCHED, MMS_ACCEPT_MATCH,
             MMS_MATCH_STARTED, MMS_RESTART, MMS_INIT, MMS_IDLE}));
        EXPECT_TRUE(player.recorder.Values("error").empty());
        EXPECT_FALSE(player.recorder.HasLine("Failed to parse the matchable status json"));
        EXPECT_EQ(player.teams, teams);
        EXPECT_EQ(emu().task_count(), 0u);                // every emulated task was freed again
        EXPECT_EQ(hyl_journal_count(player.client), 0u);  // nothing reached the client library
    }

    std::vector<std::unique_ptr<Player>> players_;
};

TEST_F(EmulatorRoadTest, TwoPlayersInTheDuoHopperRunTheWholeRoadAndReturnToIdle) {
    CreatePlayers({true, true});
    Player& first = *players_[0];
    Player& second = *players_[1];
    // The first player queues a few frames before the second, so it waits
    // alone at first and learns of the match by its next keep-alive.
    ASSERT_EQ(krmm_start_matchmaking(first.mm, kDuoHopper, nullptr, nullptr, 0, nullptr, nullptr),
              1);
    Drive(5);
    ASSERT_EQ(krmm_start_matchmaking(second.mm, kDuoHopper, nullptr, nullptr, 0, nullptr, nullptr),
              1);
    Drive();
    ExpectFullRoad(first, 2);
    ExpectFullRoad(second, 2);
    EXPECT_TRUE(ContainsInOrder(first.recorder.States(), {MMS_MATCHING, MMS_MATCHED}));

    // One match, seen alike by both, and the one the emulator formed.
    EXPECT_EQ(first.match_id, second.match_id);
    EXPECT_EQ(CountLines("Creating a new match with id " + first.match_id), 1u);

    // Exactly one leader, the player queued first, whom the emulator's team
    // order puts first; both agree, and the identity is the switch's.
    EXPECT_TRUE(
        ContainsInOrder(first.recorder.States(), {MMS_ACCEPTED_LEADER, MMS_MATCH_STARTED_WAIT}));
    EXPECT_FALSE(ContainsInOrder(second.recorder.States(), {MMS_ACCEPTED_LEADER}));
    EXPECT_EQ(second.leader_id, first.leader_id);
    EXPECT_EQ(first.leader_id, std::string(hye_client_get_identity_id(first.client)));
    EXPECT_TRUE(
        HasLine("StartMatchForClient: Client " + first.matchable_id + " started the match"));
}

// A game may create its matchmaker without a backend client and play on the
// emulator alone: a null handle gets a ticket and an identity of its own.
TEST_F(EmulatorRoadTest, MatchmakerWithoutBackendClientPlaysOnTheEmulator) {
    CreatePlayers({false});
    Player& solo = *players_[0];
    ASSERT_EQ(krmm_start_matchmaking(solo.mm, kSoloHopper, nullptr, nullptr, 0, nullptr, nullptr),
              1);
    Drive();
    ExpectFullRoad(solo, 1);
    // Alone in its match, it leads and starts it.
    EXPECT_TRUE(
        ContainsInOrder(solo.recorder.States(), {MMS_ACCEPTED_LEADER, MMS_MATCH_STARTED_WAIT}));
    EXPECT_EQ(solo.leader_id, std::string(hye_client_get_identity_id(nullptr)));
}

}  // namespace
}  // namespace emulator_test
