#include <vector>

#include "HalyardTest.h"

namespace {

// Every registration's user data names it and leads to the shared call list.
struct Tag {
    std::vector<std::string>* calls;
    const char* name;
};

std::string OrNull(const char* text) {
    return text != nullptr ? text : "<null>";
}

void HY_CALL RecordMessage(hy_client*, const char* first, const char* type, hy_json* json,
                           void* user) {
    const Tag* tag = static_cast<Tag*>(user);
    char* text = hy_json_serialize(json, 0);
    tag->calls->push_back(std::string(tag->name) + " " + OrNull(first) + " " + OrNull(type) + " " +
                          OrNull(text));
    hy_free(text);
}

void HY_CALL OtherMessage(hy_client*, const char*, const char* type, hy_json*, void* user) {
    const Tag* tag = static_cast<Tag*>(user);
    tag->calls->push_back(std::string(tag->name) + " other " + OrNull(type));
}

void HY_CALL RecordLog(int32_t level, const char* first, const char* second, void*, void* user) {
    const Tag* tag = static_cast<Tag*>(user);
    tag->calls->push_back(std::string(tag->name) + " " + std::to_string(level) + " " + first + " " +
                          second);
}

// Unregisters RecordMessage, as a shutting-down listener would, before that
// one has been called.
void HY_CALL RemovingMessage(hy_client* client, const char*, const char*, hy_json*, void* user) {
    static_cast<Tag*>(user)->calls->push_back("remover");
    hy_client_remove_msg_func(client, RecordMessage);
}

class PushTest : public HalyardClientTest {
protected:
    using Calls = std::vector<std::string>;
    Calls calls_;
    Tag a_{&calls_, "A"};
    Tag b_{&calls_, "B"};
    Tag c_{&calls_, "C"};
};

TEST_F(PushTest, MessagesAndLogsReachEveryFunctionNewestFirstUntilRemoved) {
    ASSERT_EQ(hy_client_add_msg_func(client_, RecordMessage, &a_), 0);
    ASSERT_EQ(hy_client_add_msg_func(client_, OtherMessage, &b_), 0);
    ASSERT_EQ(hy_client_add_msg_func(client_, RecordMessage, &c_), 0);  // twice is allowed
    EXPECT_EQ(hy_client_add_msg_func(client_, nullptr, &a_), -1);

    ASSERT_EQ(hyl_push_message(client_, "backend", "update", R"({ "state" : 2 })"), 0);
    EXPECT_EQ(calls_, (Calls{"C backend update {\"state\":2}", "B other update",
                             "A backend update {\"state\":2}"}));
    calls_.clear();
    EXPECT_EQ(hyl_push_message(client_, "backend", "broken", "{\"state\":"), -1);
    EXPECT_TRUE(calls_.empty());

    // Removing a function drops every registration of it.
    hy_client_remove_msg_func(client_, RecordMessage);
    hyl_push_message(client_, "f", "t", "{}");
    EXPECT_EQ(calls_, (Calls{"B other t"}));

    // Log functions are a list of their own.
    calls_.clear();
    ASSERT_EQ(hy_client_add_log_func(client_, RecordLog, &a_), 0);
    ASSERT_EQ(hy_client_add_log_func(client_, RecordLog, &b_), 0);
    EXPECT_EQ(hy_client_add_log_func(client_, nullptr, &a_), -1);
    hyl_push_log(client_, HY_LOG_WARNING, "net", "slow");
    EXPECT_EQ(calls_, (Calls{"B 50 net slow", "A 50 net slow"}));

    hy_client_remove_log_func(client_, RecordLog);
    calls_.clear();
    hyl_push_log(client_, HY_LOG_ERROR, "net", "down");
    EXPECT_TRUE(calls_.empty());
}

TEST_F(PushTest, AFunctionRemovedDuringDeliveryIsNotCalledAfterwards) {
    hy_client_add_msg_func(client_, RecordMessage, &a_);
    hy_client_add_msg_func(client_, RemovingMessage, &b_);
    hyl_push_message(client_, "f", "t", "[1]");
    EXPECT_EQ(calls_, (Calls{"remover"}));
}

}  // namespace
