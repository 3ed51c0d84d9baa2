#include <stdexcept>

#include "HalyardTest.h"

namespace {

class PushTest : public HalyardTest {
protected:
    using Calls = std::vector<std::string>;
    // Every registration's user data names it and leads to the shared call list.
    struct Tag {
        Calls* calls;
        const char* name;
    };

    // Record<0> and Record<1> are two functions that record alike; Record<2>
    // records "remover" and unregisters Record<0>, as a shutting-down
    // listener would.
    template <int N>
    static void HY_CALL Record(hy_client* client, const char* first, const char* type,
                               hy_json* json, void* user) {
        const Tag* tag = static_cast<Tag*>(user);
        tag->calls->push_back(N == 2 ? "remover"
                                     : std::string(tag->name) + " " + first + " " + type + " " +
                                           Text(json));
        if (N == 2) {
            hy_client_remove_msg_func(client, Record<0>);
        }
    }
    static void HY_CALL RecordLog(int32_t level, const char* first, const char* second, void*,
                                  void* user) {
        const Tag* tag = static_cast<Tag*>(user);
        tag->calls->push_back(std::string(tag->name) + " " + std::to_string(level) + " " + first +
                              " " + second);
    }

    static void HY_CALL Throw(hy_client*, const char*, const char*, hy_json*, void*) {
        throw std::runtime_error("listener failed");
    }
    static void HY_CALL ThrowLog(int32_t, const char*, const char*, void*, void*) {
        throw std::runtime_error("log failed");
    }

    Calls calls_;
    Tag a_{&calls_, "A"};
    Tag b_{&calls_, "B"};
    Tag c_{&calls_, "C"};
};

TEST_F(PushTest, MessagesAndLogsReachEveryFunctionNewestFirstUntilRemoved) {
    ASSERT_EQ(hy_client_add_msg_func(client_, Record<0>, &a_), 0);
    ASSERT_EQ(hy_client_add_msg_func(client_, Record<1>, &b_), 0);
    ASSERT_EQ(hy_client_add_msg_func(client_, Record<0>, &c_), 0);  // twice is allowed
    EXPECT_EQ(hy_client_add_msg_func(client_, nullptr, &a_), -1);
    ASSERT_EQ(hyl_push_json(client_, "backend", "update", Parse(R"({ "state" : 2 })")), 0);
    EXPECT_EQ(hyl_push_message(client_, "backend", "broken", "{\"state\":"), -1);
    EXPECT_EQ(calls_, (Calls{"C backend update {\"state\":2}", "B backend update {\"state\":2}",
                             "A backend update {\"state\":2}"}));

    // Removing a function drops every registration of it.
    calls_.clear();
    hy_client_remove_msg_func(client_, Record<0>);
    hyl_push_message(client_, "f", "t", "{}");
    EXPECT_EQ(calls_, (Calls{"B f t {}"}));
    // A function removed during a delivery is not called later in it.
    calls_.clear();
    hy_client_add_msg_func(client_, Record<0>, &a_);
    hy_client_add_msg_func(client_, Record<2>, &c_);
    hyl_push_message(client_, "f", "t", "[1]");
    EXPECT_EQ(calls_, (Calls{"remover", "B f t [1]"}));

    // Log functions are a list of their own.
    calls_.clear();
    ASSERT_EQ(hy_client_add_log_func(client_, RecordLog, &a_), 0);
    ASSERT_EQ(hy_client_add_log_func(client_, RecordLog, &b_), 0);
    EXPECT_EQ(hy_client_add_log_func(client_, nullptr, &a_), -1);
    hyl_push_log(client_, HY_LOG_WARNING, "net", "slow");
    hy_client_remove_log_func(client_, RecordLog);
    hyl_push_log(client_, HY_LOG_ERROR, "net", "down");
    EXPECT_EQ(calls_, (Calls{"B 50 net slow", "A 50 net slow"}));
}

// No exception crosses into C: the call that reached the function fails
// with the exception's text instead.
TEST_F(PushTest, AFunctionThatThrowsFailsTheCallThatReachedIt) {
    ASSERT_EQ(hy_client_add_msg_func(client_, Throw, nullptr), 0);
    EXPECT_EQ(hyl_push_message(client_, "f", "t", "{}"), -1);
    EXPECT_STREQ(hyl_last_error(), "hyl_push_message: listener failed");
    // A poll that delivers a due push still answers for its task.
    ASSERT_EQ(
        hyl_load_scenario_text(client_, R"({"answers": {"accept": [{"status": 200, "pending": 1}]},
        "pushes": [{"after_requests": 1, "type": "t"}]})"),
        0);
    hy_task* task = hy_r_matchmaking_accept(client_, "t");
    EXPECT_EQ(hy_task_is_pending(task), 1);
    EXPECT_STREQ(hyl_last_error(), "hy_task_is_pending: listener failed");
    EXPECT_EQ(Finish(task), "0 200 okay <null>");
    // A request whose default answer is logged.
    ASSERT_EQ(hy_client_add_log_func(client_, ThrowLog, nullptr), 0);
    EXPECT_EQ(hy_r_matchmaking_keepalive(client_, "t"), nullptr);
    EXPECT_STREQ(hyl_last_error(), "hy_r_matchmaking_keepalive: log failed");
}

}  // namespace
