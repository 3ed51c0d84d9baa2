#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "TestListener.h"
#include "halyard.h"

namespace {

using krmm_test::HttpAnswer;
using krmm_test::TestListener;
using Clock = std::chrono::steady_clock;

constexpr char kIdentity[] = "0f1e2d3c-4b5a-4968-8776-655443322110";

std::string Token(const std::string& identity = kIdentity) {
    return identity + ".1999999999." + std::string(64, 'e');
}

// The pace of a game loop: the tests poll, with a deadline, never wait on
// a fixed time for something to happen.
void NextFrame() {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Polls until the task finishes (at most 5 s); the longest poll in *longest.
void PollToEnd(hy_task* task, Clock::duration* longest = nullptr) {
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
    for (;;) {
        const Clock::time_point before = Clock::now();
        const int pending = hy_task_is_pending(task);
        if (longest != nullptr) {
            *longest = std::max(*longest, Clock::now() - before);
        }
        if (pending == 0 || Clock::now() > deadline) {
            return;
        }
        NextFrame();
    }
}

// "status body" of a finished task, which it frees.
std::string Outcome(hy_task* task) {
    hy_response* response = hy_task_fetch_response(task);
    char* body = hy_json_serialize(hy_response_get_json(response), 0);
    std::string text = std::to_string(hy_response_get_status_code(response)) + " " +
                       (body != nullptr ? body : "-");
    hy_free(body);
    hy_response_free(response);
    hy_task_free(task);
    return text;
}

// The POST requests a listener read, and the Idempotency-Key of each.
std::vector<std::string> PostKeys(TestListener& listener) {
    std::vector<std::string> keys;
    for (const std::string& request : listener.Requests()) {
        const size_t at = request.find("Idempotency-Key: ");
        if (request.compare(0, 5, "POST ") == 0 && at != std::string::npos) {
            keys.push_back(request.substr(at + 17, 36));
        }
    }
    return keys;
}

TEST(NetworkClient, ReadsTheIdentityFromTheTokenAndRefusesWhatItCannotRead) {
    const std::string upper = "0F1E2D3C-4B5A-4968-8776-655443322110";
    const struct {
        const char* urls;
        std::string token;
        const char* refusal;  // null: connects
    } cases[] = {
        {"http://127.0.0.1:1", Token(), nullptr},
        {" http://127.0.0.1:1/ ,https://127.0.0.1:2", Token(), nullptr},
        {"http://127.0.0.1:1", Token(upper), "lower-case"},
        {"http://127.0.0.1:1", std::string(kIdentity) + ".1999999999", "<identity>.<expiry>"},
        {"http://127.0.0.1:1", std::string(kIdentity) + ".-5." + std::string(64, 'e'), "expiry"},
        {"http://127.0.0.1:1", std::string(kIdentity) + ".5." + std::string(63, 'e'), "signature"},
        {"http://127.0.0.1:1", std::string(kIdentity) + ".5." + std::string(64, 'g'), "signature"},
        {"ftp://127.0.0.1:1", Token(), "http://"},
        {"http://127.0.0.1:1,", Token(), "http://"},
        {"http:///", Token(), "without query"},
    };
    for (const auto& c : cases) {
        hy_client* client = hyn_client_connect(c.urls, c.token.c_str());
        if (c.refusal == nullptr) {
            ASSERT_NE(client, nullptr) << c.urls << " " << hyl_last_error();
            EXPECT_STREQ(hy_client_get_identity_id(client), kIdentity);
        } else {
            EXPECT_EQ(client, nullptr) << c.token;
            EXPECT_NE(std::strstr(hyl_last_error(), c.refusal), nullptr) << hyl_last_error();
        }
        hy_client_free(client);
    }
}

TEST(NetworkClient, TakesOnlyATokenOfItsOwnPlayerAndNoScript) {
    hy_client* client = hyn_client_connect("http://127.0.0.1:1", Token().c_str());
    hy_client* loopback = hy_client_create(kIdentity);
    EXPECT_EQ(hyn_client_set_token(client, Token().c_str()), 0);
    EXPECT_EQ(hyn_client_set_token(client, Token("1f1e2d3c-4b5a-4968-8776-655443322110").c_str()),
              -1);
    EXPECT_NE(std::strstr(hyl_last_error(), "identity"), nullptr) << hyl_last_error();
    EXPECT_EQ(hyn_client_set_token(loopback, Token().c_str()), -1);
    EXPECT_EQ(hyn_client_set_timeout(client, 0), -1);
    EXPECT_EQ(hyl_script(client, HYL_KEEPALIVE, 200, "{}", 0), -1);
    EXPECT_NE(std::strstr(hyl_last_error(), "networked"), nullptr) << hyl_last_error();
    hy_client_free(loopback);
    hy_client_free(client);
}

// First address refuses, the second takes the request and drops the
// connection unanswered, the third answers: the answer comes from the
// third, which got the same Idempotency-Key as the second. The next request
// starts where the last answer came from, with a key of its own.
TEST(NetworkClient, ARequestGoesOnToTheNextAddressWithItsIdempotencyKey) {
    TestListener refusing;
    ASSERT_TRUE(refusing.Start());
    const std::string refused = refusing.url();
    refusing.Stop();
    TestListener dropping;
    dropping.answer = [](const std::string&) { return std::string(); };
    TestListener answering;
    answering.answer = [](const std::string&) { return HttpAnswer(200, "{\"ticket\":\"t-1\"}"); };
    ASSERT_TRUE(dropping.Start() && answering.Start());
    hy_client* client = hyn_client_connect(
        (refused + "," + dropping.url() + "," + answering.url()).c_str(), Token().c_str());
    hy_uuid hopper{};
    hy_task* ticket =
        hy_r_matchmaking_ticket(client, &hopper, nullptr, nullptr, 0, nullptr, nullptr, nullptr);
    PollToEnd(ticket);
    EXPECT_EQ(Outcome(ticket), "200 {\"ticket\":\"t-1\"}");
    hy_task* keepalive = hy_r_matchmaking_keepalive(client, "t-1");
    PollToEnd(keepalive);
    EXPECT_EQ(Outcome(keepalive), "200 {\"ticket\":\"t-1\"}");

    const std::vector<std::string> dropped = PostKeys(dropping);
    const std::vector<std::string> answered = PostKeys(answering);
    ASSERT_EQ(dropped.size(), 1u);
    ASSERT_EQ(answered.size(), 2u);
    EXPECT_EQ(dropped[0], answered[0]);
    EXPECT_NE(answered[0], answered[1]);
    ASSERT_EQ(hyl_journal_count(client), 2u);
    EXPECT_EQ(hyl_journal_get(client, 0)->status, 200);
    EXPECT_STREQ(hyl_journal_get(client, 1)->body_json, "{\"ticket\":\"t-1\"}");
    hy_client_free(client);
}

void CollectLine(int32_t, const char*, const char* second, void*, void* lines) {
    static_cast<std::vector<std::string>*>(lines)->push_back(second);
}

TEST(NetworkClient, ARequestThatGetsNoAnswerEndsAs504WithoutEverWaiting) {
    TestListener silent;
    silent.mode = TestListener::Mode::kSilent;
    ASSERT_TRUE(silent.Start());
    hy_client* client = hyn_client_connect(silent.url().c_str(), Token().c_str());
    std::vector<std::string> lines;
    hy_client_add_log_func(client, &CollectLine, &lines);
    ASSERT_EQ(hyn_client_set_timeout(client, 300), 0);

    const Clock::time_point start = Clock::now();
    hy_task* task = hy_r_matchmaking_accept(client, "t-1");
    Clock::duration longest{};
    PollToEnd(task, &longest);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(250));
    // Far below the timeout: no poll waited for the service.
    EXPECT_LT(longest, std::chrono::milliseconds(100));
    EXPECT_EQ(hy_task_is_timed_out(task), 1);
    ASSERT_NE(hy_task_get_error(task), nullptr);
    EXPECT_NE(std::strstr(hy_task_get_error(task), ("accept request to " + silent.url()).c_str()),
              nullptr)
        << hy_task_get_error(task);
    EXPECT_EQ(Outcome(task), "504 -");
    EXPECT_TRUE(lines.empty()) << "log lines wait for the pump";
    hyn_client_pump(client);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find("finished as 504"), std::string::npos) << lines.back();

    // A task that outlives its client still ends.
    hy_task* orphan = hy_r_matchmaking_keepalive(client, "t-1");
    hy_client_free(client);
    EXPECT_EQ(hy_task_is_pending(orphan), 0);
    EXPECT_EQ(hy_task_is_timed_out(orphan), 1);
    EXPECT_EQ(Outcome(orphan), "504 -");
}

}  // namespace
