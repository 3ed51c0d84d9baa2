#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "TestListener.h"
#include "halyard.h"

namespace {

using krmm_test::TestListener;
using Clock = std::chrono::steady_clock;

constexpr char kIdentity[] = "0f1e2d3c-4b5a-4968-8776-655443322110";

std::string Token(const std::string& identity = kIdentity) {
    return identity + ".1999999999." + std::string(64, 'e');
}

// Polls the task to its end, at a game's pace and for at most 5 s, and frees
// it: "status body", then " timed out: <error>" when no answer came. The
// longest poll goes to *longest.
std::string Finish(hy_task* task, Clock::duration* longest = nullptr) {
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
    for (Clock::time_point before = Clock::now();
         hy_task_is_pending(task) != 0 && Clock::now() < deadline; before = Clock::now()) {
        if (longest != nullptr) {
            *longest = std::max(*longest, Clock::now() - before);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    hy_response* response = hy_task_fetch_response(task);
    char* body = hy_json_serialize(hy_response_get_json(response), 0);
    std::string text = std::to_string(hy_response_get_status_code(response)) + " " +
                       (body != nullptr ? body : "-");
    if (hy_task_is_timed_out(task) != 0) {
        text += std::string(" timed out: ") + hy_task_get_error(task);
    }
    hy_free(body);
    hy_response_free(response);
    hy_task_free(task);
    return text;
}

bool Says(const char* text, const char* part) {
    return std::strstr(text, part) != nullptr;
}

TEST(NetworkClient, TakesOnlyWhatItCanReadAndTokensOfItsOwnPlayer) {
    const std::string id = kIdentity;
    const struct {
        const char* urls;
        std::string token;
        const char* refusal;  // null: connects
    } cases[] = {
        {"http://127.0.0.1:1", Token(), nullptr},
        {" http://127.0.0.1:1/ ,https://127.0.0.1:2", Token(), nullptr},
        {"http://127.0.0.1:1", Token("0F1E2D3C-4B5A-4968-8776-655443322110"), "lower-case"},
        {"http://127.0.0.1:1", id + ".1999999999", "<identity>.<expiry>"},
        {"http://127.0.0.1:1", id + ".-5." + std::string(64, 'e'), "expiry"},
        {"http://127.0.0.1:1", id + ".5." + std::string(63, 'e'), "signature"},
        {"http://127.0.0.1:1", id + ".5." + std::string(64, 'g'), "signature"},
        {"ftp://127.0.0.1:1", Token(), "http://"},
        {"http://127.0.0.1:1,", Token(), "http://"},
        {"http:///", Token(), "without query"},
    };
    for (const auto& c : cases) {
        hy_client* client = hyn_client_connect(c.urls, c.token.c_str());
        EXPECT_EQ(client == nullptr, c.refusal != nullptr) << c.urls << " " << c.token;
        EXPECT_TRUE(client != nullptr
                        ? std::strcmp(hy_client_get_identity_id(client), kIdentity) == 0
                        : Says(hyl_last_error(), c.refusal))
            << hyl_last_error();
        hy_client_free(client);
    }
    hy_client* client = hyn_client_connect("http://127.0.0.1:1", Token().c_str());
    hy_client* loopback = hy_client_create(kIdentity);
    EXPECT_EQ(hyn_client_set_token(client, Token().c_str()), 0);
    EXPECT_EQ(hyn_client_set_token(client, Token("1f1e2d3c-4b5a-4968-8776-655443322110").c_str()),
              -1);
    EXPECT_TRUE(Says(hyl_last_error(), "identity")) << hyl_last_error();
    EXPECT_EQ(hyn_client_set_token(loopback, Token().c_str()), -1);
    EXPECT_EQ(hyn_client_set_timeout(client, 0), -1);
    EXPECT_EQ(hyl_script(client, HYL_KEEPALIVE, 200, "{}", 0), -1);
    EXPECT_TRUE(Says(hyl_last_error(), "networked")) << hyl_last_error();
    hy_client_free(loopback);
    hy_client_free(client);
}

// The Idempotency-Key of each request a listener read.
std::vector<std::string> Keys(TestListener& listener) {
    std::vector<std::string> keys;
    for (const std::string& request : listener.Requests()) {
        const size_t at = request.find("Idempotency-Key: ");
        if (at != std::string::npos) {
            keys.push_back(request.substr(at + 17, 36));
        }
    }
    return keys;
}

// The first address refuses, the second takes the request and drops the
// connection unanswered, the third answers with the key the second got. The
// next request starts where the answer came from, with a key of its own.
TEST(NetworkClient, ARequestGoesOnToTheNextAddressWithItsIdempotencyKey) {
    TestListener refusing, dropping, answering;
    ASSERT_TRUE(refusing.Start());
    const std::string refused = refusing.url();
    refusing.Stop();
    dropping.answer = [](const std::string&) { return std::string(); };
    answering.answer = [](const std::string&) {
        return krmm_test::HttpAnswer(200, "{\"ticket\":\"t-1\"}");
    };
    ASSERT_TRUE(dropping.Start() && answering.Start());
    hy_client* client = hyn_client_connect(
        (refused + "," + dropping.url() + "," + answering.url()).c_str(), Token().c_str());
    hy_uuid hopper{};
    EXPECT_EQ(Finish(hy_r_matchmaking_ticket(client, &hopper, nullptr, nullptr, 0, nullptr, nullptr,
                                             nullptr)),
              "200 {\"ticket\":\"t-1\"}");
    EXPECT_EQ(Finish(hy_r_matchmaking_keepalive(client, "t-1")), "200 {\"ticket\":\"t-1\"}");
    const std::vector<std::string> dropped = Keys(dropping);
    const std::vector<std::string> answered = Keys(answering);
    ASSERT_EQ(dropped.size(), 1u);
    ASSERT_EQ(answered.size(), 2u);
    EXPECT_EQ(dropped[0], answered[0]);
    EXPECT_NE(answered[0], answered[1]);
    ASSERT_EQ(hyl_journal_count(client), 2u);
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
    Clock::duration longest{};
    const std::string outcome = Finish(hy_r_matchmaking_accept(client, "t-1"), &longest);
    EXPECT_EQ(outcome.rfind("504 - timed out: accept request to " + silent.url(), 0), 0u)
        << outcome;
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(250));
    EXPECT_LT(longest, std::chrono::milliseconds(100)) << "a poll waited for the service";
    EXPECT_TRUE(lines.empty()) << "log lines wait for the pump";
    hyn_client_pump(client);
    bool logged = false;
    for (const std::string& line : lines) {
        logged = logged || Says(line.c_str(), "accept request to ");
    }
    EXPECT_TRUE(logged);
    // A journal written with a request in flight still loads, the request
    // answered as one that got no answer.
    hy_task* orphan = hy_r_matchmaking_keepalive(client, "t-1");
    char* scenario = hyl_journal_scenario(client);
    hy_client* replay = hy_client_create(nullptr);
    EXPECT_EQ(hyl_load_scenario_text(replay, scenario), 0) << hyl_last_error();
    EXPECT_EQ(Finish(hy_r_matchmaking_keepalive(replay, "t-1")), "504 -");
    hy_free(scenario);
    hy_client_free(replay);
    // A task that outlives its client still ends.
    hy_client_free(client);
    EXPECT_EQ(Finish(orphan), "504 - timed out: the client was freed");
}

}  // namespace
