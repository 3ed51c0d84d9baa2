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

}  // namespace
