// Scenario files: what a scenario scripts, when its pushes go out, and the
// reasons given for a scenario that is refused.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#include "HalyardTest.h"

namespace {

class ScenarioTest : public HalyardTest {
protected:
    // Every push as "type first json at requests", in delivery order.
    static void HY_CALL OnMessage(hy_client* client, const char* first, const char* type,
                                  hy_json* json, void* user) {
        static_cast<ScenarioTest*>(user)->pushes_.push_back(
            std::string(type) + " " + first + " " + Text(json) + " at " +
            std::to_string(hyl_journal_count(client)));
    }
    std::vector<std::string> pushes_;
};

TEST_F(ScenarioTest, ScriptsAnswersDefaultsAndPushesInOrder) {
    ASSERT_EQ(hyl_load_scenario_text(client_, R"({
        "identity_id": "aaaaaaaa-0000-4000-8000-000000000001",
        "answers": {"keepalive": [{"status": 200, "body": {"n": 1}, "pending": 2, "repeat": 2},
                                  {"status": 503}]},
        "defaults": {"keepalive": {"status": 204, "body": [0]}},
        "pushes": [{"after_requests": 1, "after_polls": 2, "type": "first", "json": {"p": 1}},
                   {"after_requests": 3, "type": "second", "first": "backend"}]})"),
              0)
        << hyl_last_error();
    EXPECT_EQ(hyl_pending_pushes(client_), 2u);
    hy_client_add_msg_func(client_, OnMessage, this);

    EXPECT_EQ(Answers(4, [&] { return hy_r_matchmaking_keepalive(client_, "t"); }),
              (std::vector<std::string>{R"(2 200 okay {"n":1})", R"(2 200 okay {"n":1})",
                                        "0 503 fail <null>", "0 204 okay [0]"}));
    // The first push goes out at the third poll of the first request (one
    // request and two polls made), the second at the first poll after the
    // third request.
    EXPECT_EQ(pushes_,
              (std::vector<std::string>{R"(first  {"p":1} at 1)", "second backend <null> at 3"}));
    ASSERT_EQ(hyl_journal_push_count(client_), 2u);
    const hyl_push* second = hyl_journal_push_get(client_, 1);
    EXPECT_EQ(std::make_pair(second->after_requests, second->after_polls), std::make_pair(3u, 6u));
    EXPECT_EQ(hyl_pending_pushes(client_), 0u);
    EXPECT_EQ(hyl_journal_get(client_, 3)->source, HYL_DEFAULT);
}

TEST_F(ScenarioTest, ARefusedScenarioNamesPlaceAndReasonAndChangesNothing) {
    const std::pair<const char*, const char*> cases[] = {
        {R"({"answers": {)", "<text>: line 1, column 13 (byte 13): "},
        {"[]", "<text>: a scenario is a JSON object"},
        {R"({"answer": {}})", "<text>: unknown member \"answer\""},
        {R"({"identity_id": "aaaa"})", "<text>: identity_id: expected a 36-character identity id"},
        {R"({"answers": {"keep_alive": []}})",
         "<text>: answers.keep_alive: unknown request kind \"keep_alive\""},
        // The valid first answer is not queued either.
        {R"({"answers": {"accept": [{"status": 200}, {"status": 99999999999}]}})",
         "<text>: answers.accept[1].status: expected an integer status code from 100 to 599"},
        {R"({"defaults": {"accept": {"status": 99}}})",
         "<text>: defaults.accept.status: expected an integer status code from 100 to 599"},
        // The last of two would silently win.
        {R"({"answers": {"accept": [], "accept": [{"status": 200}]}})",
         "<text>: line 1, column 35 (byte 35): duplicate object key near '\"accept\"'"},
        {R"({"answers": {"keepalive": [{"status": 200, "request": {"tikcet": "t"}}]}})",
         "<text>: answers.keepalive[0].request: unknown member \"tikcet\" (keepalive requests "
         "take \"ticket\")"},
        {R"({"answers": {"cancel": [{"status": 200, "request": {"ticket": "t", "join_info": {}}}]}})",
         "<text>: answers.cancel[0].request: unknown member \"join_info\" (cancel requests take "
         "\"ticket\", \"soft\")"},
        {R"({"answers": {"accept": [{"status": 200, "request": {"ticket": 7}}]}})",
         "<text>: answers.accept[0].request.ticket: expected a text"},
        {R"({"answers": {"ticket": [{"status": 200, "request": {"group_size": "2"}}]}})",
         "<text>: answers.ticket[0].request.group_size: expected an integer from 0 to 4294967295"},
        {R"({"answers": {"mark_identity_active": [{"status": 200, "request": {"argument": 1e3}}]}})",
         "<text>: answers.mark_identity_active[0].request.argument: expected an integer from "
         "-2147483648 to 2147483647"},
        {R"({"answers": {"accept": [{"status": 200, "pending": -1}]}})",
         "<text>: answers.accept[0].pending: expected an integer from 0 to 4294967295"},
        {R"({"answers": {"accept": [{"status": 200, "source": "replayed"}]}})",
         "<text>: answers.accept[0].source: expected \"scripted\", \"default\", "
         "\"built_in_default\" or \"fault\""},
        {R"({"defaults": {"accept": {"status": 200, "repeat": 2}}})",
         "<text>: defaults.accept: unknown member \"repeat\""},
        {R"({"answers": {"accept": [{"status": 200}]}, "pushes": [{"after_polls": 1}]})",
         "<text>: pushes[0].type: expected a message type text"},
    };
    const std::string identity = hy_client_get_identity_id(client_);
    for (const auto& [text, reason] : cases) {
        EXPECT_EQ(hyl_load_scenario_text(client_, text), -1) << text;
        const std::string error = hyl_last_error();
        EXPECT_EQ(error.find(std::string("hyl_load_scenario_text: ") + reason), 0u) << error;
    }
    EXPECT_EQ(hyl_load_scenario(client_, "/nonexistent/session.json"), -1);
    EXPECT_STREQ(hyl_last_error(),
                 "hyl_load_scenario: /nonexistent/session.json: No such file or directory");
    // Reading stops at the cap, so an endless file (a device) is refused too.
    const std::string huge = ::testing::TempDir() + "halyard_huge_scenario.json";
    std::ofstream(huge).put(' ');
    std::filesystem::resize_file(huge, (64u << 20) + 1);
    EXPECT_EQ(hyl_load_scenario(client_, huge.c_str()), -1);
    EXPECT_EQ(hyl_last_error(), "hyl_load_scenario: " + huge + ": larger than 64 MiB");
    std::remove(huge.c_str());
    EXPECT_EQ(hyl_scripted_count(client_, HYL_ACCEPT), 0u);
    EXPECT_EQ(hyl_pending_pushes(client_), 0u);
    EXPECT_EQ(hy_client_get_identity_id(client_), identity);
}

// A replay reports, readable without a log function, requests made out of
// their recorded order and, once strict, unscripted requests and pushes.
TEST_F(ScenarioTest, ReplayFlagsRequestsOutOfOrderAndStrictlyWhatNothingScripted) {
    ASSERT_EQ(hyl_load_scenario_text(client_, R"({"answers": {
        "keepalive": [{"status": 200, "order": 0, "request": {"ticket": "t"}}],
        "cancel": [{"status": 200, "order": 1, "request": {"ticket": "t", "soft": 0}}]}})"),
              0);
    // The cancel overtakes the keep-alive; its arguments match (0 is left out).
    Finish(hy_r_matchmaking_cancel(client_, "t", 0));
    Finish(hy_r_matchmaking_keepalive(client_, "t"));
    Finish(hy_r_matchmaking_accept(client_, "t"));
    EXPECT_EQ(hyl_push_message(client_, "", "update", nullptr), 0);
    EXPECT_EQ(hyl_replay_mismatches(client_), 1u);
    ASSERT_EQ(hyl_set_strict(client_, 1), 0);
    Finish(hy_r_matchmaking_accept(client_, "t"));
    EXPECT_EQ(hyl_push_message(client_, "", "update", nullptr), 0);

    const std::vector<std::string> expected = {
        R"(cancel request {"ticket":"t"} came before its turn: recorded at 1, but the )"
        "keepalive answer recorded at 0 is still queued",
        R"(unscripted accept request {"ticket":"t"})",
        R"(push "update" not scheduled by a scenario)"};
    ASSERT_EQ(hyl_replay_mismatches(client_), expected.size());
    for (uint32_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(hyl_replay_mismatch(client_, i), expected[i]);
    }
    EXPECT_EQ(hyl_replay_mismatch(client_, 3), nullptr);
}

}  // namespace
