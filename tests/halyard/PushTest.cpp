#include <vector>

#include "HalyardTest.h"

namespace {

// What the registered functions saw, in call order.
struct Recorder {
    std::vector<std::string> calls;
};

// Each registration's user data names it and leads to the shared recorder.
struct Tag {
    Recorder* recorder;
    const char* name;
};

std::string OrNull(const char* text) {
    return text != nullptr ? text : "<null>";
}

void HY_CALL RecordMessage(hy_client*, const char* first, const char* type, hy_json* json,
                           void* user) {
    const Tag* tag = static_cast<Tag*>(user);
    char* text = hy_json_serialize(json, 0);
    tag->recorder->calls.push_back(std::string(tag->name) + " " + OrNull(first) + " " +
                                   OrNull(type) + " " + OrNull(text));
    hy_free(text);
}

void HY_CALL OtherMessage(hy_client*, const char*, const char* type, hy_json*, void* user) {
    const Tag* tag = static_cast<Tag*>(user);
    tag->recorder->calls.push_back(std::string(tag->name) + " other " + OrNull(type));
}

void HY_CALL RecordLog(int32_t level, const char* first, const char* second, void* reserved,
                       void* user) {
    const Tag* tag = static_cast<Tag*>(user);
    tag->recorder->calls.push_back(std::string(tag->name) + " " + std::to_string(level) + " " +
                                   OrNull(first) + " " + OrNull(second) +
                                   (reserved != nullptr ? " reserved" : ""));
}

class PushTest : public HalyardClientTest {
protected:
    Recorder recorder_;
    Tag a_{&recorder_, "A"};
    Tag b_{&recorder_, "B"};
    Tag c_{&recorder_, "C"};
};

TEST_F(PushTest, MessagesReachEveryFunctionNewestFirst) {
    ASSERT_EQ(hy_client_add_msg_func(client_, RecordMessage, &a_), 0);
    ASSERT_EQ(hy_client_add_msg_func(client_, OtherMessage, &b_), 0);
    ASSERT_EQ(hy_client_add_msg_func(client_, RecordMessage, &c_), 0);  // twice is allowed

    ASSERT_EQ(hyl_push_message(client_, "backend", "matchmaking_update", R"({ "state" : 2 })"), 0);
    EXPECT_EQ(recorder_.calls,
              (std::vector<std::string>{"C backend matchmaking_update {\"state\":2}",
                                        "B other matchmaking_update",
                                        "A backend matchmaking_update {\"state\":2}"}));

    recorder_.calls.clear();
    ASSERT_EQ(hyl_push_message(client_, nullptr, "ping", nullptr), 0);
    EXPECT_EQ(recorder_.calls, (std::vector<std::string>{"C <null> ping <null>", "B other ping",
                                                         "A <null> ping <null>"}));

    recorder_.calls.clear();
    EXPECT_EQ(hyl_push_message(client_, "backend", "broken", "{\"state\":"), -1);
    EXPECT_TRUE(recorder_.calls.empty());
    EXPECT_EQ(hyl_push_message(nullptr, "backend", "x", "{}"), -1);
}

TEST_F(PushTest, RemovingAFunctionDropsEveryRegistrationOfIt) {
    hy_client_add_msg_func(client_, RecordMessage, &a_);
    hy_client_add_msg_func(client_, OtherMessage, &b_);
    hy_client_add_msg_func(client_, RecordMessage, &c_);
    hy_client_remove_msg_func(client_, RecordMessage);

    hyl_push_message(client_, "f", "t", "{}");
    EXPECT_EQ(recorder_.calls, (std::vector<std::string>{"B other t"}));

    hy_client_remove_msg_func(client_, OtherMessage);
    hy_client_remove_msg_func(client_, OtherMessage);  // nothing left to remove
    recorder_.calls.clear();
    hyl_push_message(client_, "f", "t", "{}");
    EXPECT_TRUE(recorder_.calls.empty());
}

TEST_F(PushTest, LogEntriesReachEveryFunctionNewestFirst) {
    ASSERT_EQ(hy_client_add_log_func(client_, RecordLog, &a_), 0);
    ASSERT_EQ(hy_client_add_log_func(client_, RecordLog, &b_), 0);
    hyl_push_log(client_, HY_LOG_WARNING, "net", "slow");
    EXPECT_EQ(recorder_.calls, (std::vector<std::string>{"B 50 net slow", "A 50 net slow"}));

    hy_client_remove_log_func(client_, RecordLog);
    recorder_.calls.clear();
    hyl_push_log(client_, HY_LOG_ERROR, "net", "down");
    EXPECT_TRUE(recorder_.calls.empty());
    hyl_push_log(nullptr, HY_LOG_ERROR, "x", "y");

    EXPECT_EQ(hy_client_add_log_func(client_, nullptr, &a_), -1);
    EXPECT_EQ(hy_client_add_msg_func(client_, nullptr, &a_), -1);
    EXPECT_EQ(hy_client_add_log_func(nullptr, RecordLog, &a_), -1);
    EXPECT_EQ(hy_client_add_msg_func(nullptr, RecordMessage, &a_), -1);
}

// A message function that unregisters another one, as a shutting-down
// listener would, before that one has been called.
hy_msg_func g_toRemove = nullptr;
void HY_CALL RemovingMessage(hy_client* client, const char*, const char*, hy_json*, void* user) {
    static_cast<Tag*>(user)->recorder->calls.push_back("remover");
    hy_client_remove_msg_func(client, g_toRemove);
}

TEST_F(PushTest, AFunctionRemovedDuringDeliveryIsNotCalledAfterwards) {
    g_toRemove = RecordMessage;
    hy_client_add_msg_func(client_, RecordMessage, &a_);
    hy_client_add_msg_func(client_, RemovingMessage, &b_);

    hyl_push_message(client_, "f", "t", "[1]");
    EXPECT_EQ(recorder_.calls, (std::vector<std::string>{"remover"}));

    recorder_.calls.clear();
    hyl_push_message(client_, "f", "t", "[1]");
    EXPECT_EQ(recorder_.calls, (std::vector<std::string>{"remover"}));
}

}  // namespace
