#include <utility>
#include <vector>

#include "HalyardTest.h"

namespace {

using LoopbackTest = HalyardClientTest;

hy_task* TicketRequest(hy_client* client) {
    return hy_r_matchmaking_ticket(client, nullptr, nullptr, nullptr, 1, nullptr, nullptr, nullptr);
}

// Log entries of the client as "level first: second".
void HY_CALL RecordLog(int32_t level, const char* first, const char* second, void*, void* user) {
    static_cast<std::vector<std::string>*>(user)->push_back(std::to_string(level) + " " + first +
                                                            ": " + second);
}

TEST_F(LoopbackTest, ScriptedAnswersComeInOrderAfterTheirPendingPolls) {
    ASSERT_EQ(hyl_script(client_, HYL_KEEPALIVE, 200, R"({"state":1})", 2), 0);
    ASSERT_EQ(hyl_script(client_, HYL_KEEPALIVE, 503, nullptr, 0), 0);
    EXPECT_EQ(hyl_scripted_count(client_, HYL_KEEPALIVE), 2u);

    const uint32_t tasks = hyl_live_tasks();
    hy_task* first = hy_r_matchmaking_keepalive(client_, "t");
    EXPECT_EQ(hyl_live_tasks(), tasks + 1);
    EXPECT_EQ(hyl_scripted_count(client_, HYL_KEEPALIVE), 1u);
    EXPECT_EQ(hy_task_is_pending(first), 1);
    EXPECT_FALSE(hy_task_is_okay(first));
    EXPECT_EQ(hy_task_fetch_response(first), nullptr);  // nothing while pending
    EXPECT_EQ(hy_task_is_pending(first), 1);
    EXPECT_EQ(hy_task_is_pending(first), 0);
    EXPECT_EQ(hy_task_is_pending(first), 0);  // stays finished
    EXPECT_TRUE(hy_task_is_okay(first));

    const uint32_t responses = hyl_live_responses();
    hy_response* response = hy_task_fetch_response(first);
    EXPECT_EQ(hyl_live_responses(), responses + 1);
    EXPECT_EQ(hy_response_get_status_code(response), 200);
    EXPECT_STREQ(hy_response_get_header(response, "Content-Type"), "application/json");
    // Each fetch gives a response of its own, with a body of its own that
    // outlives the task.
    hy_response* again = hy_task_fetch_response(first);
    EXPECT_NE(hy_response_get_json(again), hy_response_get_json(response));
    hy_response_free(response);
    hy_task_free(first);
    EXPECT_EQ(Text(hy_response_get_json(again)), R"({"state":1})");
    hy_response_free(again);

    const Outcome second = Finish(hy_r_matchmaking_keepalive(client_, "t"));
    EXPECT_EQ(second.status, 503);
    EXPECT_EQ(second.body, "<null>");
    // Queue used up: the built-in default takes over.
    EXPECT_EQ(Finish(hy_r_matchmaking_keepalive(client_, "t")).status, 404);
}

TEST_F(LoopbackTest, BuiltInDefaultsGiveFreshTicketsAndNotFoundElsewhere) {
    std::vector<std::string> log;
    hy_client_add_log_func(client_, RecordLog, &log);
    std::string bodies[2];
    for (std::string& body : bodies) {
        const Outcome outcome = Finish(TicketRequest(client_));
        EXPECT_EQ(outcome.status, 200);
        body = outcome.body;
        hy_json* json = Parse(body.c_str());
        hy_uuid uuid{};
        EXPECT_EQ(hy_uuid_set_from_string(&uuid, hy_json_get_string_item(json, "ticket")), 0)
            << body;
        hy_json_free(json);
    }
    EXPECT_NE(bodies[0], bodies[1]);

    // A script for one kind does not answer another.
    ASSERT_EQ(hyl_script(client_, HYL_KEEPALIVE, 200, "{}", 0), 0);
    EXPECT_EQ(Finish(hy_r_matchmaking_accept(client_, "t")).status, 404);
    // Every unscripted request says so on the client's log.
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1], "50 halyard: unscripted ticket request: built-in default answer 200 with " +
                          bodies[1]);
    EXPECT_EQ(log[2],
              "50 halyard: unscripted accept request: built-in default answer 404 "
              "without a body");
    EXPECT_EQ(hyl_journal_get(client_, 2)->source, HYL_BUILT_IN_DEFAULT);
}

TEST_F(LoopbackTest, SetDefaultAnswersOnceTheQueueIsEmpty) {
    std::vector<std::string> log;
    hy_client_add_log_func(client_, RecordLog, &log);
    ASSERT_EQ(hyl_set_default(client_, HYL_TICKET, 500, R"({ "error" : "busy" })", 1), 0);
    ASSERT_EQ(hyl_script(client_, HYL_TICKET, 200, R"({"ticket":"scripted"})", 0), 0);
    EXPECT_EQ(hyl_scripted_count(client_, HYL_TICKET), 1u);  // a default is not queued

    EXPECT_EQ(Finish(TicketRequest(client_)).body, R"({"ticket":"scripted"})");
    // The default is reused for every later request.
    for (int i = 0; i < 2; ++i) {
        const Outcome outcome = Finish(TicketRequest(client_));
        EXPECT_EQ(outcome.pendingPolls, 1);
        EXPECT_EQ(outcome.status, 500);
        EXPECT_EQ(outcome.body, R"({"error":"busy"})");
    }
    EXPECT_EQ(log,
              std::vector<std::string>(
                  2, R"(10 halyard: ticket request: default answer 500 with {"error":"busy"})"));
}

TEST_F(LoopbackTest, FaultsGoAheadOfQueuedAnswersWhichRepeatInOrder) {
    ASSERT_EQ(hyl_script_repeat(client_, HYL_ACCEPT, 200, "[1]", 1, 2), 0);
    ASSERT_EQ(hyl_script_json(client_, HYL_ACCEPT, 202, Parse("[2]"), 0), 0);
    ASSERT_EQ(hyl_fault(client_, HYL_ACCEPT, 503, 2), 0);
    EXPECT_EQ(hyl_scripted_count(client_, HYL_ACCEPT), 3u);  // faults are not queued
    std::vector<std::pair<int32_t, std::string>> got;
    for (int i = 0; i < 6; ++i) {
        const Outcome outcome = Finish(hy_r_matchmaking_accept(client_, "t"));
        got.emplace_back(outcome.status, outcome.body);
    }
    EXPECT_EQ(got, (std::vector<std::pair<int32_t, std::string>>{{503, "<null>"},
                                                                 {503, "<null>"},
                                                                 {200, "[1]"},
                                                                 {200, "[1]"},
                                                                 {202, "[2]"},
                                                                 {404, "<null>"}}));
    EXPECT_EQ(hyl_journal_get(client_, 1)->source, HYL_FAULT);
    EXPECT_EQ(hyl_journal_get(client_, 2)->source, HYL_SCRIPTED);
    EXPECT_STREQ(hyl_journal_get(client_, 2)->body_json, "[1]");
    EXPECT_EQ(hyl_journal_get(client_, 2)->pending_polls, 1u);

    // A later call replaces the remaining faults; 0 cancels them.
    hyl_fault(client_, HYL_ACCEPT, 500, 3);
    hyl_fault(client_, HYL_ACCEPT, 500, 0);
    EXPECT_EQ(Finish(hy_r_matchmaking_accept(client_, "t")).status, 404);
}

TEST_F(LoopbackTest, BadScriptsAreRefusedWithTheirReasonAndQueueNothing) {
    EXPECT_EQ(hyl_script(client_, HYL_ACCEPT, 200, "{not json", 0), -1);
    EXPECT_STREQ(hyl_last_error(),
                 "hyl_script: body: line 1, column 4 (byte 4): string or '}' expected near 'not'");
    EXPECT_EQ(hyl_set_default(client_, HYL_ACCEPT, 200, "[1,", 0), -1);
    EXPECT_STREQ(hyl_last_error(),
                 "hyl_set_default: body: line 1, column 3 (byte 3): ']' expected near end of file");
    EXPECT_EQ(hyl_script(client_, HYL_KIND_COUNT, 200, nullptr, 0), -1);
    EXPECT_STREQ(hyl_last_error(), "hyl_script: request kind 10 out of range");
    EXPECT_EQ(hyl_script_repeat(client_, static_cast<hyl_kind>(-1), 200, nullptr, 0, 2), -1);
    EXPECT_EQ(hyl_fault(nullptr, HYL_ACCEPT, 500, 1), -1);
    EXPECT_STREQ(hyl_last_error(), "hyl_fault: no client");
    EXPECT_EQ(hyl_script_json(nullptr, HYL_ACCEPT, 200, Parse("{}"), 0), -1);  // still takes it
    EXPECT_EQ(hyl_scripted_count(client_, HYL_ACCEPT), 0u);
    // The refused default left the built-in one in place.
    EXPECT_EQ(Finish(hy_r_matchmaking_accept(client_, "t")).status, 404);
}

TEST_F(LoopbackTest, ResponseOkayCoversStatus200To399) {
    for (const int32_t status : {199, 200, 399, 400}) {
        hyl_script(client_, HYL_ACCEPT, status, nullptr, 0);
        hy_task* task = hy_r_matchmaking_accept(client_, "t");
        hy_response* response = hy_task_fetch_response(task);
        EXPECT_EQ(hy_response_is_okay(response) != 0, status == 200 || status == 399) << status;
        hy_response_free(response);
        hy_task_free(task);
    }
}

TEST_F(LoopbackTest, ScriptsBelongToOneClientAndTasksOutliveIt) {
    hy_client* other = hy_client_create(nullptr);
    ASSERT_EQ(hyl_script(other, HYL_START, 200, R"({"started":true})", 3), 0);
    hy_task* mine = hy_r_matchmaking_start(client_, "t", nullptr);
    hy_task* theirs = hy_r_matchmaking_start(other, "t", nullptr);
    hy_client_free(other);

    EXPECT_EQ(Finish(mine).status, 404);
    const Outcome outcome = Finish(theirs);
    EXPECT_EQ(outcome.pendingPolls, 3);
    EXPECT_EQ(outcome.body, R"({"started":true})");
}

}  // namespace
