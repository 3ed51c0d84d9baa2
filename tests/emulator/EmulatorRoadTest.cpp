// A whole matchmaking road through two real matchmakers with the emulator
// standing in for the backend: ticket, keep-alives, match, automatic accept
// and start, then back to idle.
#include <algorithm>
#include <memory>

#include "EmulatorFixture.h"
#include "KRMatchmakingSystem.h"
#include "emulator/Hopper.h"
#include "support/MatchmakerTestSupport.h"

namespace emulator_test {
namespace {

using krmm_test::Recorder;

constexpr uint32_t kRoadFlags = MMF_AUTO_ACCEPT | MMF_AUTO_START | MMF_LOG_INFO | MMF_LOG_DEBUG |
                                MMF_LOG_WARNING | MMF_LOG_ERROR;
// One frame of the game: 100 ms, so a heartbeat of 17 s is 170 frames.
constexpr uint32_t kFrameMs = 100;
constexpr int kMaxFrames = 3000;

// What one matchmaker showed on its way.
struct Road {
    bool started = false;  // reached MMS_MATCH_STARTED
    bool idle_after_start = false;
    std::string match_id;      // read while MMS_MATCH_STARTED
    std::string matchable_id;  // read while MMS_MATCH_STARTED
    std::string leader_id;     // first member of the first team, as the accessors count
    int32_t teams = 0;
    int32_t users = 0;
};

// One game: its backend client (null for none), matchmaker and what it saw.
struct Player {
    hy_client* client = nullptr;
    krmm_matchmaker* mm = nullptr;
    Recorder recorder;
    Road road;
};

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

    // Makes one matchmaker per entry, on a loopback client or on none, and
    // switches the emulator on.
    void CreatePlayers(const std::vector<bool>& with_client) {
        for (const bool has_client : with_client) {
            auto player = std::make_unique<Player>();
            if (has_client) {
                player->client = hy_client_create(nullptr);
                ASSERT_NE(player->client, nullptr);
            }
            const std::string name = "player" + std::to_string(players_.size());
            player->mm = krmm_create_matchmaking(player->client, name.c_str(), kRoadFlags);
            ASSERT_NE(player->mm, nullptr);
            player->recorder.Attach(player->mm);
            krmm_register_msg_callback(player->mm, &EmulatorRoadTest::OnMessage, &player->road);
            players_.push_back(std::move(player));
        }
        // Every matchmaker switches the emulator off when it is made, so the
        // switch comes after the last one.
        krmm_set_emulator(players_.front()->mm, 1);
        ASSERT_EQ(hye_emulator_is_enabled(), 1);
    }

    Player& player(std::size_t i) { return *players_[i]; }

    // One frame of every game.
    void Frame() {
        krmm_test::AdvanceClock(kFrameMs);
        for (const auto& player : players_) {
            krmm_process(player->mm);
        }
    }

    // Runs frames until every matchmaker has started its match and come back
    // to idle, or the frame budget is spent.
    void Drive() {
        for (int frame = 0; frame < kMaxFrames; ++frame) {
            Frame();
            if (std::all_of(players_.begin(), players_.end(),
                            [](const auto& player) { return player->road.idle_after_start; })) {
                return;
            }
        }
    }

    // Checks one player's road: the states in order, no error, every body
    // parsed, and the match it read.
    void ExpectFullRoad(const Player& player, int32_t teams) {
        EXPECT_TRUE(player.road.started);
        EXPECT_TRUE(player.road.idle_after_start);
        EXPECT_TRUE(ContainsInOrder(
            player.recorder.States(),
            {MMS_REQUEST_TICKET, MMS_INITIAL_KEEPALIVE, MMS_MATCHED, MMS_ACCEPT_MATCH,
             MMS_MATCH_STARTED, MMS_RESTART, MMS_INIT, MMS_IDLE}));
        const std::vector<int32_t> errors = player.recorder.Values("error");
        EXPECT_TRUE(errors.empty()) << "first error " << errors.front();
        EXPECT_FALSE(player.recorder.HasLine("Failed to parse the matchable status json"));
        EXPECT_EQ(player.road.teams, teams);
        EXPECT_EQ(player.road.users, static_cast<int32_t>(players_.size()));
    }

    // The matchmaker leaves MMS_MATCH_STARTED within the pass that entered
    // it, so the game reads the match while the "state" message is delivered.
    static void KRMM_CALL OnMessage(krmm_matchmaker* matchmaker, const char* name, int32_t value,
                                    const char*, void* user_data) {
        Road& road = *static_cast<Road*>(user_data);
        if (std::string(name) != "state") {
            return;
        }
        if (value == MMS_MATCH_STARTED && !road.started) {
            road.started = true;
            road.match_id = krmm_get_match_info_match_id(matchmaker);
            road.matchable_id = krmm_get_match_info_matchable_id(matchmaker);
            road.leader_id = krmm_get_match_info_team_member_id(matchmaker, 0, 0);
            road.teams = krmm_get_match_info_num_teams(matchmaker);
            road.users = krmm_get_match_info_num_users(matchmaker);
        }
        if (value == MMS_IDLE && road.started) {
            road.idle_after_start = true;
        }
    }

    // True when wanted occurs in states in this order, other states between.
    static bool ContainsInOrder(const std::vector<int32_t>& states,
                                const std::vector<int32_t>& wanted) {
        std::size_t at = 0;
        for (int32_t state : states) {
            if (at < wanted.size() && state == wanted[at]) {
                ++at;
            }
        }
        return at == wanted.size();
    }

    std::vector<std::unique_ptr<Player>> players_;
};

TEST_F(EmulatorRoadTest, TwoPlayersInTheDuoHopperRunTheWholeRoadAndReturnToIdle) {
    CreatePlayers({true, true});
    Player& first = player(0);
    Player& second = player(1);
    // The first player queues a few frames before the second, so it waits
    // alone at first.
    ASSERT_EQ(krmm_start_matchmaking(first.mm, kDuoHopper, nullptr, nullptr, 0, nullptr, nullptr),
              1);
    for (int frame = 0; frame < 5; ++frame) {
        Frame();
    }
    ASSERT_EQ(krmm_start_matchmaking(second.mm, kDuoHopper, nullptr, nullptr, 0, nullptr, nullptr),
              1);
    Drive();

    for (const auto& each : players_) {
        SCOPED_TRACE(krmm_get_name(each->mm));
        ExpectFullRoad(*each, 2);
    }
    // The first player learned of the match by its next keep-alive.
    EXPECT_TRUE(ContainsInOrder(first.recorder.States(), {MMS_MATCHING, MMS_MATCHED}));

    // One match, seen alike by both, and the one the emulator formed.
    EXPECT_EQ(first.road.match_id, second.road.match_id);
    EXPECT_EQ(
        CountLines("Hopper::TryCreateMatches: Creating a new match with id " + first.road.match_id),
        1u);
    EXPECT_EQ(CountLines("Creating a new match"), 1u);

    // Exactly one leader, and both agree who it is: the player queued first,
    // whom the emulator's team order puts first once the lists are read. The
    // other may learn of the start before it ever hears that all accepted.
    EXPECT_TRUE(
        ContainsInOrder(first.recorder.States(), {MMS_ACCEPTED_LEADER, MMS_MATCH_STARTED_WAIT}));
    EXPECT_FALSE(ContainsInOrder(second.recorder.States(), {MMS_ACCEPTED_LEADER}));
    EXPECT_EQ(first.road.leader_id, second.road.leader_id);
    EXPECT_EQ(first.road.leader_id, std::string(hye_client_get_identity_id(first.client)));
    EXPECT_TRUE(
        HasLine("StartMatchForClient: Client " + first.road.matchable_id + " started the match"));

    // Both tickets ended among the started clients, and every emulated task
    // the matchmakers were handed has been freed again.
    const KRHalyardEmulator::Hopper* hopper = emu().FindHopper(kDuoHopper);
    ASSERT_NE(hopper, nullptr);
    EXPECT_TRUE(hopper->HasStarted(first.road.matchable_id));
    EXPECT_TRUE(hopper->HasStarted(second.road.matchable_id));
    EXPECT_EQ(hopper->open_match_count(), 0u);
    EXPECT_EQ(emu().task_count(), 0u);
    // Nothing reached the client library.
    EXPECT_EQ(hyl_journal_count(first.client), 0u);
    EXPECT_EQ(hyl_journal_count(second.client), 0u);
}

// A game may create its matchmaker without a backend client and play on the
// emulator alone.
TEST_F(EmulatorRoadTest, MatchmakerWithoutBackendClientPlaysOnTheEmulator) {
    CreatePlayers({false});
    Player& solo = player(0);
    ASSERT_EQ(krmm_start_matchmaking(solo.mm, kSoloHopper, nullptr, nullptr, 0, nullptr, nullptr),
              1);
    Drive();
    ExpectFullRoad(solo, 1);
    // Alone in its match, it leads and starts it.
    EXPECT_TRUE(
        ContainsInOrder(solo.recorder.States(), {MMS_ACCEPTED_LEADER, MMS_MATCH_STARTED_WAIT}));
    EXPECT_EQ(solo.road.leader_id, std::string(hye_client_get_identity_id(nullptr)));
    EXPECT_EQ(emu().task_count(), 0u);
}

}  // namespace
}  // namespace emulator_test
