#include <string>
#include <vector>

#include "RequestTestSupport.h"
#include "requests/TaskMatchmakingKeepAliveHeartbeat.h"
#include "requests/TaskMatchmakingTicket.h"

namespace requests_test {
namespace {

using namespace KRMatchmakingSystem;

// Only one group id goes to the backend, with a size only for the second.
TEST_F(RequestTest, TicketSendsTheGroupIdsTheBackendExpects) {
    const struct {
        const char* group_id;
        const char* second_group_id;
        uint32_t group_size;
        const char* attributes;
        // What the backend must receive.
        const char* sent_a;
        const char* sent_b;
        uint32_t sent_size;
        const char* sent_attributes;
    } cases[] = {
        {"", nullptr, 5, "", "", "", 0, ""},
        {kGroup, "", 4, "{\"skill\":5}", kGroup, "", 0, "{\"skill\":5}"},
        {nullptr, kSecondGroup, 4, nullptr, "", kSecondGroup, 4, ""},
        {kGroup, kSecondGroup, 4, "", kGroup, "", 0, ""},
    };
    uint32_t index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(index);
        auto* task =
            new TaskMatchmakingTicket(manager_->heap(), system_, kHopper, c.group_id,
                                      c.second_group_id, c.group_size, c.attributes, "{\"lv\":1}");
        const Finish& finish = Run(task);
        ASSERT_EQ(Sent(HYL_TICKET), index + 1);
        const hyl_request& sent = Journal(index++);
        EXPECT_STREQ(sent.hopper_id, kHopper);
        EXPECT_STREQ(sent.group_id, c.sent_a);
        EXPECT_STREQ(sent.second_group_id, c.sent_b);
        EXPECT_EQ(sent.group_size, c.sent_size);
        EXPECT_EQ(sent.has_reserved, 0);
        EXPECT_STREQ(sent.attributes_json, c.sent_attributes);
        EXPECT_STREQ(sent.values_json, "{\"lv\":1}");
        // The loopback's default answer carries a fresh ticket.
        EXPECT_TRUE(finish.success);
        EXPECT_EQ(task->ticket().size(), 36u);
        EXPECT_EQ(CountLog(std::string("Received matchmaking ticket '") + task->ticket().c_str()),
                  1u);
    }
}

TEST_F(RequestTest, TicketSuccessIsTheStatusCodeAlone) {
    const char* const granted = "{\"ticket\":\"11111111-2222-3333-4444-555555555555\"}";
    const struct {
        int32_t status;
        const char* body;
        bool success;
        const char* ticket;
    } cases[] = {{201, granted, true, kTicket},
                 {302, granted, true, kTicket},
                 {200, "{\"other\":1}", true, ""},
                 {204, nullptr, true, ""},
                 {404, granted, false, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        hyl_script(client_, HYL_TICKET, c.status, c.body, 1);
        auto* task =
            new TaskMatchmakingTicket(manager_->heap(), system_, kHopper, "", "", 0, "", "");
        const Finish& finish = Run(task);
        EXPECT_EQ(finish.success, c.success);
        EXPECT_EQ(finish.code, c.status);
        EXPECT_EQ(finish.message, c.body != nullptr ? c.body : "");
        EXPECT_STREQ(task->ticket().c_str(), c.ticket);
        const std::string warning = "Unexpected status code " + std::to_string(c.status);
        EXPECT_EQ(CountLog(warning), c.success ? 0u : 1u);
    }
}

struct Beat {
    uint32_t start;
    bool success;
    int32_t code;
    std::string message;
    uint32_t seq;
};

class HeartbeatTest : public RequestTest {
protected:
    TaskMatchmakingKeepAliveHeartbeat* MakeHeartbeat(const char* ticket, const char* name,
                                                     uint32_t interval, uint32_t max_count,
                                                     bool with_callback = true) {
        auto* heartbeat = Own(new TaskMatchmakingKeepAliveHeartbeat(
            manager_->heap(), system_, ticket, name, interval, max_count));
        if (with_callback) {
            heartbeat->SetStatusCallback(&HeartbeatTest::OnStatus, this);
        }
        return heartbeat;
    }

    static void OnStatus(Task* keep_alive, bool success, int32_t code, const char* message,
                         void* user_data, const MatchableStatus& status) {
        static_cast<HeartbeatTest*>(user_data)->beats_.push_back(Beat{
            keep_alive->start_time(), success, code, message ? message : "<null>", status.seq});
    }

    std::vector<Beat> beats_;
};

// Beside the heartbeat runs one without a ticket (and without a status
// callback), whose keep-alives fail unsent, once per interval all the same.
TEST_F(HeartbeatTest, SendsAKeepAliveEveryInterval) {
    // Answered after two polls: 100 ms at 50 ms per pass.
    hyl_set_default(client_, HYL_KEEPALIVE, 200, kStatusBody, 2);
    auto* heartbeat =
        MakeHeartbeat(kTicket, TaskMatchmakingKeepAliveHeartbeat::kContinuousName, 5000, 0);
    Finish& finish = Queue(heartbeat);
    Queue(MakeHeartbeat("", TaskMatchmakingKeepAliveHeartbeat::kContinuousName, 5000, 0, false));
    Pass(1);        // started: the first keep-alive goes out at once
    Pass(499, 50);  // to 24950 ms: keep-alives at 0, 5000, ..., 20000

    ASSERT_EQ(beats_.size(), 5u);
    for (size_t i = 0; i < beats_.size(); ++i) {
        EXPECT_TRUE(beats_[i].success) << i;
        EXPECT_EQ(beats_[i].code, 200) << i;
        EXPECT_EQ(beats_[i].seq, 3u) << i;
        if (i > 0) {
            const uint32_t gap = beats_[i].start - beats_[i - 1].start;
            EXPECT_GE(gap, 5000u) << i;
            EXPECT_LE(gap, 5100u) << i;
        }
    }
    EXPECT_EQ(Sent(HYL_KEEPALIVE), heartbeat->sent_count());
    EXPECT_FALSE(heartbeat->IsFinished()) << "a continuous heartbeat ends only when cancelled";
    EXPECT_EQ(CountLog("TaskMatchmakingKeepAlive completed with code 200 with response '{"),
              beats_.size());
    // One from the start of the heartbeat without a ticket, one from each of
    // its five keep-alives.
    EXPECT_EQ(CountLog("No ticket specified, cannot send request"), 6u);

    const uint32_t sent = Sent(HYL_KEEPALIVE);
    heartbeat->Cancel();
    RunToEnd(heartbeat, 50);
    EXPECT_EQ(heartbeat->state(), KRTaskSystem::CANCELLED);
    EXPECT_EQ(finish.calls, 1);
    EXPECT_EQ(Sent(HYL_KEEPALIVE), sent);
    EXPECT_EQ(heartbeat->current_keep_alive(), nullptr);
}

TEST_F(HeartbeatTest, OverrunKeepAliveIsCancelledAndTheNextWaitsForIt) {
    // The first keep-alive hangs for 60 polls, far past its 1000 ms interval.
    hyl_script(client_, HYL_KEEPALIVE, 200, kStatusBody, 60);
    hyl_set_default(client_, HYL_KEEPALIVE, 200, kStatusBody, 0);
    auto* heartbeat =
        MakeHeartbeat(kTicket, TaskMatchmakingKeepAliveHeartbeat::kContinuousName, 1000, 0);
    Queue(heartbeat);
    Pass(1);
    Pass(30, 100);  // 3000 ms: two intervals overrun

    ASSERT_NE(heartbeat->current_keep_alive(), nullptr);
    EXPECT_EQ(heartbeat->current_keep_alive()->state(), KRTaskSystem::CANCELLING);
    EXPECT_EQ(Sent(HYL_KEEPALIVE), 1u) << "no second keep-alive while the first is pending";
    EXPECT_EQ(CountLog("[TaskMatchmakingKeepAlive] Cancelling..."), 1u);
    EXPECT_TRUE(beats_.empty());

    Pass(40, 100);
    ASSERT_GE(beats_.size(), 2u);
    EXPECT_FALSE(beats_[0].success);
    EXPECT_EQ(beats_[0].code, 200);
    EXPECT_EQ(beats_[0].message, "");
    EXPECT_EQ(beats_[0].seq, 3u) << "the overrun keep-alive's status is still read";
    EXPECT_TRUE(beats_[1].success);
}

TEST_F(HeartbeatTest, SingleFormFinishesWithItsOneKeepAlive) {
    hyl_set_default(client_, HYL_KEEPALIVE, 409, "{\"error\":\"gone\"}", 1);
    auto* heartbeat = MakeHeartbeat(kTicket, TaskMatchmakingKeepAliveHeartbeat::kSingleName, 50, 1,
                                    /*with_callback=*/false);
    Finish& finish = Queue(heartbeat);
    RunToEnd(heartbeat);
    Pass(10, 100);

    EXPECT_EQ(Sent(HYL_KEEPALIVE), 1u);
    EXPECT_EQ(heartbeat->state(), KRTaskSystem::DONE);
    EXPECT_FALSE(finish.success);
    EXPECT_EQ(finish.code, 409);
    EXPECT_EQ(finish.message, "{\"error\":\"gone\"}");
    EXPECT_EQ(CountLog("Failed to update the matchable status (code 409)"), 1u);
    EXPECT_EQ(CountLog("[TaskMatchmakingKeepAliveHeartbeatSingle] Finished in"), 1u);
}

}  // namespace
}  // namespace requests_test
