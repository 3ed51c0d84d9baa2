// The service's clocks over HTTP on the manual clock (windows, expiry,
// retention, hopper-size pushes), and an event stream dropped and resumed.
#include "NetFixture.h"

namespace server_net_test {
namespace {

struct WindowCase {
    const char* name;
    bool both_accept;   // else only the first player accepts
    const char* first;  // state of the first player after the window
    const char* second;
};

class WindowTest : public NetTest, public ::testing::WithParamInterface<WindowCase> {};

TEST_P(WindowTest, AMatchNotFinishedInItsWindowDissolves) {
    const WindowCase window = GetParam();
    Start();
    Player a = NewPlayer();
    Player b = NewPlayer();
    EventReader stream(server_->url(), a.token);
    Queue(a, kDuel);
    EXPECT_EQ(Queue(b, kDuel).Text("state"), "matched");
    Do(a, "accept");
    if (window.both_accept) {
        EXPECT_EQ(Do(b, "accept").Text("state"), "accepted");
    }
    Advance(34000);
    EXPECT_EQ(Do(a, "keepalive").Text("state"), window.both_accept ? "accepted" : "matched");
    Advance(1001);
    EXPECT_EQ(Do(a, "keepalive").Text("state"), window.first);
    EXPECT_EQ(Do(b, "keepalive").Text("state"), window.second);
    const std::string pushed = window.first;
    EXPECT_TRUE(stream.WaitFor([&](const std::vector<Event>& e) {
        return Has(e, "matching") && StateOf(e.back()) == pushed;
    }));
}

INSTANTIATE_TEST_SUITE_P(
    Windows, WindowTest,
    ::testing::Values(WindowCase{"AcceptedGoBackOthersAreCancelled", false, "matching",
                                 "cancelled"},
                      // Both back at the front of the pool: matched again at once.
                      WindowCase{"StartWindowSendsEveryoneBack", true, "matched", "matched"}),
    [](const ::testing::TestParamInfo<WindowCase>& info) { return std::string(info.param.name); });

TEST_F(NetTest, ASilentTicketExpiresAndIsForgottenAfterItsRetention) {
    Start({"--keepalive-timeout", "20", "--retain", "30"});
    Player a = NewPlayer();
    EventReader stream(server_->url(), a.token);
    Queue(a, kDuel);
    Advance(19000);
    EXPECT_EQ(Do(a, "keepalive").Text("state"), "matching");  // the keep-alive resets the timeout
    Advance(19000);
    EXPECT_EQ(Do(a, "keepalive").Text("state"), "matching");
    Advance(20001);
    EXPECT_TRUE(stream.WaitFor([](const std::vector<Event>& e) { return Has(e, "expired"); }));
    EXPECT_EQ(Do(a, "keepalive").Text("state"), "expired");
    Advance(30001);
    EXPECT_EQ(Do(a, "keepalive").status, 404);
}

TEST_F(NetTest, AChangedHopperSizeIsPushedWithTheSameSeq) {
    Start();
    Player a = NewPlayer();
    Player b = NewPlayer();
    const int64_t seq = Queue(a, kTen).Number("seq");
    EventReader stream(server_->url(), a.token);
    ASSERT_TRUE(stream.WaitFor([](const std::vector<Event>& e) { return !e.empty(); }));
    Queue(b, kTen);
    Advance(1000);
    ASSERT_TRUE(stream.WaitFor([](const std::vector<Event>& e) { return e.size() == 2; }));
    const Reply pushed{200, stream.events[1].data, {}};
    EXPECT_EQ(pushed.Number("seq"), seq);
    EXPECT_EQ(pushed.Number("estimated_hopper_size"), 2);
    EXPECT_GT(stream.events[1].id, stream.events[0].id);
}

TEST_F(NetTest, AResumedStreamGetsTheLatestStatusOfWhatChangedSinceLastEventId) {
    Start();
    Player a = NewPlayer();
    Player a_duel = a;
    Player b = NewPlayer();
    Queue(a, kTen);
    Queue(a_duel, kDuel);
    uint64_t last = 0;
    {
        EventReader stream(server_->url(), a.token);
        ASSERT_TRUE(stream.WaitFor([](const std::vector<Event>& e) { return e.size() == 2; }));
        last = stream.events.back().id;
    }
    // While A's stream is away its duel ticket is matched, then accepted.
    Queue(b, kDuel);
    Do(a_duel, "accept");
    EventReader resumed(server_->url(), a.token, last);
    ASSERT_TRUE(resumed.WaitFor([](const std::vector<Event>& e) { return !e.empty(); }));
    resumed.Drain(200);
    ASSERT_EQ(resumed.events.size(), 1u);  // one state, not the log of it
    EXPECT_GT(resumed.events[0].id, last);
    const Reply status{200, resumed.events[0].data, {}};
    EXPECT_EQ(status.Text("matchable_id"), a_duel.ticket);
    EXPECT_EQ(status.Text("state"), "matched");
    const Json json(resumed.events[0].data);
    EXPECT_EQ(json_array_size(json_object_get(json_object_get(json.value, "match"), "accepted")),
              1u);

    // Without Last-Event-ID: every ticket, in event order.
    EventReader fresh(server_->url(), a.token);
    ASSERT_TRUE(fresh.WaitFor([](const std::vector<Event>& e) { return e.size() == 2; }));
    EXPECT_EQ(Reply({200, fresh.events[0].data, {}}).Text("matchable_id"), a.ticket);
    EXPECT_EQ(fresh.events[1].id, resumed.events[0].id);

    // A number this service never gave out (another instance's, or from
    // before a restart) counts as none: every ticket again.
    EventReader foreign(server_->url(), a.token, resumed.events[0].id + 1000);
    EXPECT_TRUE(foreign.WaitFor([](const std::vector<Event>& e) { return e.size() == 2; }));
}

}  // namespace
}  // namespace server_net_test
