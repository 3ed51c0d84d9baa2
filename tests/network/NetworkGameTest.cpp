#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "KRMatchmakingSystem.h"
#include "ServiceClient.h"
#include "TestListener.h"
#include "halyard.h"
#include "support/MatchmakerTestSupport.h"

namespace krmm_test {
namespace {

using Clock = std::chrono::steady_clock;

// The service's default hoppers, by match size.
std::string HopperOf(int players) {
    return players == 1   ? "dcb02466-a5de-5d58-8ce3-552e6c7747ae"
           : players == 2 ? "0e6976d1-1655-5da5-8354-3d3a38537aed"
                          : "30ac7aba-e072-52cf-b30d-d88c2ff89f76";
}

std::string JoinInfoOf(const char* identity) {
    return std::string("{\"server\":\"") + identity + "\"}";
}

// One game: its networked client, its matchmaker and what the test watches.
struct Player {
    hy_client* client = nullptr;
    krmm_matchmaker* mm = nullptr;
    Recorder rec;
    bool pumping = false;
    int pushes = 0;
    int pushesOutsidePump = 0;
    bool holdAccept = false;  // the player has not pressed "Accept" yet
    bool led = false;         // started the match
    bool played = false;      // reached MMS_MATCH_STARTED
    std::string joinInfo;     // as the started match told it

    int32_t State() const { return StateOf(mm); }
    bool BackToIdle() const { return played && State() == MMS_IDLE; }
};

void CountPush(hy_client*, const char*, const char*, hy_json*, void* player) {
    auto* p = static_cast<Player*>(player);
    ++p->pushes;
    p->pushesOutsidePump += p->pumping ? 0 : 1;
}

void OnMessage(krmm_matchmaker* mm, const char* name, int32_t value, const char*, void* player) {
    if (std::string(name) == "state" && value == MMS_MATCH_STARTED) {
        auto* p = static_cast<Player*>(player);
        p->played = true;
        p->joinInfo = krmm_get_match_info_join_json_str(mm);
    }
}

// Whether the client's journal holds an exchange that matches.
bool Journalled(hy_client* client, const std::function<bool(const hyl_request&)>& match) {
    for (uint32_t i = 0; i < hyl_journal_count(client); ++i) {
        if (match(*hyl_journal_get(client, i))) {
            return true;
        }
    }
    return false;
}

// Players on real time against a halyard-server this test started.
class NetworkGame : public ::testing::Test {
protected:
    void TearDown() override {
        for (const std::unique_ptr<Player>& p : players_) {
            krmm_free_matchmaking(p->mm);
            hy_client_free(p->client);
        }
        EXPECT_EQ(hyl_live_tasks(), 0u);
        EXPECT_EQ(hyl_live_responses(), 0u);
    }
    void Serve(std::vector<std::string> options = {}) {
        options.insert(options.begin(), {"--listen", "127.0.0.1:0", "--dev-sessions"});
        server_ = std::make_unique<server_net_test::ServerProcess>(options);
        ASSERT_TRUE(server_->running());
        http_ = std::make_unique<server_net_test::HttpClient>(server_->url());
    }
    std::string Url() const { return server_->url(); }
    // A token from the development service, for a new identity or this one.
    std::string NewToken(const std::string& identity = "") {
        return http_
            ->Post("/v1/sessions", identity.empty() ? "" : "{\"identity_id\":\"" + identity + "\"}")
            .Text("token");
    }
    Player& Join(const std::string& url) {
        hy_client* client = hyn_client_connect(url.c_str(), NewToken().c_str());
        EXPECT_NE(client, nullptr) << hyl_last_error();
        return Add(client);
    }
    Player& Add(hy_client* client) {
        auto p = std::make_unique<Player>();
        p->client = client;
        p->mm = krmm_create_matchmaking(p->client, "net",
                                        MMF_LOG_WARNING | MMF_LOG_ERROR | MMF_LOG_HY_ERRORS);
        p->rec.Attach(p->mm);
        krmm_register_msg_callback(p->mm, &OnMessage, p.get());
        hy_client_add_msg_func(p->client, &CountPush, p.get());
        players_.push_back(std::move(p));
        return *players_.back();
    }
    void Queue(Player& p, int players) {
        ASSERT_TRUE(krmm_start_matchmaking(p.mm, HopperOf(players).c_str(), nullptr, nullptr, 0,
                                           nullptr, nullptr));
    }
    // One frame of every game: the client's pump, the matchmaker's pass and
    // the player's answers. The longest frame goes to longest_.
    void Frame() {
        for (const std::unique_ptr<Player>& p : players_) {
            const Clock::time_point start = Clock::now();
            p->pumping = true;
            hyn_client_pump(p->client);
            p->pumping = false;
            krmm_process(p->mm);
            longest_ = std::max(longest_, Clock::now() - start);
            if (p->State() == MMS_MATCHED && !p->holdAccept) {
                krmm_accept_match(p->mm);
            } else if (p->State() == MMS_ACCEPTED_LEADER) {
                p->led = true;
                krmm_start_match(p->mm, JoinInfoOf(hy_client_get_identity_id(p->client)).c_str());
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));  // the game's frame pace
    }
    // Frames until done() holds; false if it does not within the limit.
    bool Until(const std::function<bool()>& done, int seconds = 20) {
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(seconds);
        while (!done()) {
            if (Clock::now() > deadline) {
                return false;
            }
            Frame();
        }
        return true;
    }
    bool AllBackToIdle() const {
        return std::all_of(players_.begin(), players_.end(),
                           [](const std::unique_ptr<Player>& p) { return p->BackToIdle(); });
    }
    // A relay in front of the service, to cut or silence a player's connections.
    void Relay(TestListener& relay) {
        relay.mode = TestListener::Mode::kForward;
        relay.upstream = static_cast<uint16_t>(std::stoi(Url().substr(Url().rfind(':') + 1)));
        ASSERT_TRUE(relay.Start());
    }

    std::unique_ptr<server_net_test::ServerProcess> server_;
    std::unique_ptr<server_net_test::HttpClient> http_;
    std::vector<std::unique_ptr<Player>> players_;
    Clock::duration longest_{};
};

class NetworkRoad : public NetworkGame, public ::testing::WithParamInterface<int> {};

// Every player meets the others, hears the leader's join info and goes back
// to idle; every push reached its game inside hyn_client_pump.
TEST_P(NetworkRoad, EveryPlayerHearsTheLeaderAndGoesBackToIdle) {
    Serve();
    for (int i = 0; i < GetParam(); ++i) {
        Queue(Join(Url()), GetParam());
    }
    ASSERT_TRUE(Until([this] { return AllBackToIdle(); }));
    std::string leader;
    for (const std::unique_ptr<Player>& p : players_) {
        if (p->led) {
            EXPECT_TRUE(leader.empty()) << "two leaders";
            leader = JoinInfoOf(hy_client_get_identity_id(p->client));
        }
    }
    for (const std::unique_ptr<Player>& p : players_) {
        EXPECT_EQ(p->joinInfo, leader);
        EXPECT_GT(p->pushes, 0);
        EXPECT_EQ(p->pushesOutsidePump, 0);
        EXPECT_TRUE(p->rec.Values("error").empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Hoppers, NetworkRoad, ::testing::Values(1, 2, 10));

// The second player's stream is cut after it accepted and before the first
// did; that everyone accepted reaches it only through the resumed stream
// (its heartbeat is ten minutes away), which asks for what followed.
TEST_F(NetworkGame, AStreamCutMidMatchResumesWithNothingLost) {
    Serve();
    TestListener relay;
    Relay(relay);
    Player& first = Join(Url());
    Player& second = Join(relay.url());
    first.holdAccept = true;
    for (Player* p : {&first, &second}) {
        krmm_set_heartbeat_interval(p->mm, 600000);
        Queue(*p, 2);
    }
    ASSERT_TRUE(Until([&] {
        return first.State() == MMS_MATCHED && Journalled(second.client, [](const hyl_request& r) {
                   return r.kind == HYL_ACCEPT && r.status != 0;
               });
    }));
    relay.Drop("GET /v1/matchmaking/events");
    first.holdAccept = false;
    ASSERT_TRUE(Until([this] { return AllBackToIdle(); }));
    EXPECT_EQ(second.joinInfo, first.joinInfo);
    int resumed = 0;
    for (const std::string& head : relay.Requests()) {
        resumed += head.find("Last-Event-ID: ") != std::string::npos ? 1 : 0;
    }
    EXPECT_GE(resumed, 1);
}

// A session played against the service, written by the journal as a
// scenario, replays on the loopback: the same game takes the same road.
TEST_F(NetworkGame, ARecordedSessionReplaysOnTheLoopback) {
    Serve();
    Player& recorded = Join(Url());
    Queue(recorded, 1);
    ASSERT_TRUE(Until([this] { return AllBackToIdle(); }));
    char* scenario = hyl_journal_scenario(recorded.client);
    const uint32_t requests = hyl_journal_count(recorded.client);
    ASSERT_GT(hyl_journal_push_count(recorded.client), 0u);

    hy_client* loopback = hy_client_create(nullptr);
    ASSERT_EQ(hyl_load_scenario_text(loopback, scenario), 0) << hyl_last_error();
    hy_free(scenario);
    Player& replay = Add(loopback);
    Queue(replay, 1);
    ASSERT_TRUE(Until([this] { return AllBackToIdle(); }));
    EXPECT_EQ(replay.joinInfo, recorded.joinInfo);
    EXPECT_EQ(hyl_replay_mismatches(loopback), 0u);
    EXPECT_EQ(hyl_journal_count(loopback), requests);
    EXPECT_EQ(hyl_pending_pushes(loopback), 0u);
    for (int kind = 0; kind < HYL_KIND_COUNT; ++kind) {
        EXPECT_EQ(hyl_scripted_count(loopback, static_cast<hyl_kind>(kind)), 0u);
    }
}

class NetworkFault : public NetworkGame, public ::testing::WithParamInterface<bool> {};

// The service stops answering (or goes away) under a waiting player: its
// frames stay short, its keep-alives end as 504 and its recovery runs;
// once the service is back the recovery ends well.
TEST_P(NetworkFault, APlayerRecoversFromAServiceThatFallsSilentOrAway) {
    const bool silent = GetParam();
    Serve();
    TestListener relay;
    Relay(relay);
    Player& player = Join(relay.url());
    // A keep-alive still in flight when the next is due is cancelled and
    // its failure ignored: the timeout stays below the heartbeat.
    ASSERT_EQ(hyn_client_set_timeout(player.client, 300), 0);
    krmm_set_heartbeat_interval(player.mm, 1000);
    krmm_set_eror_recover_timeout(player.mm, 30000);
    Queue(player, 2);
    ASSERT_TRUE(Until([&] { return player.State() == MMS_MATCHING; }));
    if (silent) {
        relay.mode = TestListener::Mode::kSilent;
        relay.Drop("");
    } else {
        relay.Stop();
    }
    longest_ = {};
    ASSERT_TRUE(Until([&] { return player.rec.HasLine("Trying to recover from error"); }));
    // A client that waited for the service would hold a frame for its 300 ms.
    EXPECT_LT(longest_, std::chrono::milliseconds(200));
    EXPECT_TRUE(Journalled(player.client, [](const hyl_request& r) { return r.status == 504; }));
    if (silent) {
        relay.mode = TestListener::Mode::kForward;
    } else {
        ASSERT_TRUE(relay.Start(relay.port()));
    }
    ASSERT_TRUE(Until([&] { return player.rec.HasLine("Recovered from error"); }));
    EXPECT_EQ(player.State(), MMS_MATCHING);
    EXPECT_TRUE(player.rec.Values("error").empty());
}

INSTANTIATE_TEST_SUITE_P(SilentOrAway, NetworkFault, ::testing::Bool());

// A token that has run out is refused, with a log line that says what to
// do; the renewed one is taken at once.
TEST_F(NetworkGame, AnExpiredTokenIsRenewedWithSetToken) {
    Serve({"--clock", "manual"});
    Player& player = Join(Url());
    const auto hopperRecord = [&] {
        hy_uuid hopper;
        hy_uuid_set_from_string(&hopper, HopperOf(2).c_str());
        hy_task* task = hy_r_get_object(player.client, "_mm_hoppers", &hopper, nullptr);
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
        while (hy_task_is_pending(task) && Clock::now() < deadline) {
            Frame();
        }
        hy_response* response = hy_task_fetch_response(task);
        const int32_t status = hy_response_get_status_code(response);
        hy_response_free(response);
        hy_task_free(task);
        return status;
    };
    EXPECT_EQ(hopperRecord(), 200);
    http_->Post("/testing/clock", "{\"advance_ms\":" + std::to_string(7 * 3600 * 1000) + "}");
    EXPECT_EQ(hopperRecord(), 401);
    Frame();
    EXPECT_TRUE(player.rec.HasLine("renew it with hyn_client_set_token"));
    const std::string renewed = NewToken(hy_client_get_identity_id(player.client));
    EXPECT_EQ(hyn_client_set_token(player.client, renewed.c_str()), 0);
    EXPECT_EQ(hopperRecord(), 200);
}

}  // namespace
}  // namespace krmm_test
