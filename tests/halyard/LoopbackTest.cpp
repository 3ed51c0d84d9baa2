#include "HalyardTest.h"

namespace {

using LoopbackTest = HalyardTest;
using Lines = std::vector<std::string>;

hy_task* TicketRequest(hy_client* client) {
    return hy_r_matchmaking_ticket(client, nullptr, nullptr, nullptr, 1, nullptr, nullptr, nullptr);
}

// Log entries of the client as "level first: second".
void HY_CALL RecordLog(int32_t level, const char* first, const char* second, void*, void* user) {
    static_cast<Lines*>(user)->push_back(std::to_string(level) + " " + first + ": " + second);
}

TEST_F(LoopbackTest, ScriptedAnswersComeInOrderAfterTheirPendingPolls) {
    ASSERT_EQ(hyl_script(client_, HYL_KEEPALIVE, 200, R"({"state":1})", 2), 0);
    ASSERT_EQ(hyl_script(client_, HYL_KEEPALIVE, 503, nullptr, 0), 0);
    EXPECT_EQ(hyl_scripted_count(client_, HYL_KEEPALIVE), 2u);

    const std::array<uint32_t, 4> live = Live();
    hy_task* first = hy_r_matchmaking_keepalive(client_, "t");
    EXPECT_EQ(hyl_scripted_count(client_, HYL_KEEPALIVE), 1u);
    EXPECT_EQ(hy_task_is_pending(first), 1);
    EXPECT_FALSE(hy_task_is_okay(first));
    EXPECT_EQ(hy_task_fetch_response(first), nullptr);  // nothing while pending
    EXPECT_EQ(hy_task_is_pending(first), 1);
    EXPECT_EQ(hy_task_is_pending(first), 0);
    EXPECT_EQ(hy_task_is_pending(first), 0);  // stays finished
    EXPECT_TRUE(hy_task_is_okay(first));

    hy_response* response = hy_task_fetch_response(first);
    EXPECT_EQ(Live()[0], live[0] + 1);  // the task and the response are counted
    EXPECT_EQ(Live()[1], live[1] + 1);
    EXPECT_STREQ(hy_response_get_header(response, "Content-Type"), "application/json");
    // Each fetch gives a response of its own, with a body of its own that
    // outlives the task.
    hy_response* again = hy_task_fetch_response(first);
    EXPECT_NE(hy_response_get_json(again), hy_response_get_json(response));
    hy_response_free(response);
    hy_task_free(first);
    EXPECT_EQ(Text(hy_response_get_json(again)), R"({"state":1})");
    hy_response_free(again);
    // Queue used up: the built-in default takes over.
    EXPECT_EQ(Answers(2, [&] { return hy_r_matchmaking_keepalive(client_, "t"); }),
              (Lines{"0 503 fail <null>", "0 404 fail <null>"}));
}

TEST_F(LoopbackTest, DefaultsAnswerOnceTheQueueIsEmptyAndSaySoOnTheLog) {
    Lines log;
    hy_client_add_log_func(client_, RecordLog, &log);
    // Built in: a fresh ticket each time, 404 for every other kind.
    const Lines tickets = Answers(2, [&] { return TicketRequest(client_); });
    EXPECT_EQ(tickets[1].size(), std::string(R"(0 200 okay {"ticket":""})").size() + 36);
    EXPECT_NE(tickets[0], tickets[1]);
    // A script for one kind does not answer another.
    ASSERT_EQ(hyl_script(client_, HYL_KEEPALIVE, 200, "{}", 0), 0);
    EXPECT_EQ(Finish(hy_r_matchmaking_accept(client_, "t")), "0 404 fail <null>");
    EXPECT_EQ(hyl_journal_get(client_, 2)->source, HYL_BUILT_IN_DEFAULT);

    ASSERT_EQ(hyl_set_default(client_, HYL_TICKET, 500, R"({ "error" : "busy" })", 1), 0);
    ASSERT_EQ(hyl_script(client_, HYL_TICKET, 200, R"({"ticket":"scripted"})", 0), 0);
    EXPECT_EQ(hyl_scripted_count(client_, HYL_TICKET), 1u);  // a default is not queued
    // The queue first, then the default for every later request.
    EXPECT_EQ(Answers(3, [&] { return TicketRequest(client_); }),
              (Lines{R"(0 200 okay {"ticket":"scripted"})", R"(1 500 fail {"error":"busy"})",
                     R"(1 500 fail {"error":"busy"})"}));
    const std::string unscripted = "50 halyard: unscripted ticket request: built-in default ";
    const std::string busy =
        R"(10 halyard: ticket request: default answer 500 with {"error":"busy"})";
    EXPECT_EQ(log, (Lines{unscripted + "answer 200 with " + tickets[0].substr(11),
                          unscripted + "answer 200 with " + tickets[1].substr(11),
                          "50 halyard: unscripted accept request: built-in default answer 404 "
                          "without a body",
                          busy, busy}));
}

TEST_F(LoopbackTest, FaultsGoAheadOfQueuedAnswersWhichRepeatInOrder) {
    const auto accept = [&] { return hy_r_matchmaking_accept(client_, "t"); };
    ASSERT_EQ(hyl_script_repeat(client_, HYL_ACCEPT, 399, "[1]", 1, 2), 0);
    ASSERT_EQ(hyl_script_json(client_, HYL_ACCEPT, 199, Parse("[2]"), 0), 0);
    ASSERT_EQ(hyl_script(client_, HYL_ACCEPT, 200, nullptr, 0), 0);
    ASSERT_EQ(hyl_fault(client_, HYL_ACCEPT, 400, 2), 0);
    EXPECT_EQ(hyl_scripted_count(client_, HYL_ACCEPT), 4u);  // faults are not queued
    // Okay means a status from 200 to 399.
    EXPECT_EQ(Answers(7, accept),
              (Lines{"0 400 fail <null>", "0 400 fail <null>", "1 399 okay [1]", "1 399 okay [1]",
                     "0 199 fail [2]", "0 200 okay <null>", "0 404 fail <null>"}));
    EXPECT_EQ(hyl_journal_get(client_, 1)->source, HYL_FAULT);
    EXPECT_EQ(hyl_journal_get(client_, 2)->source, HYL_SCRIPTED);

    // A later call replaces the remaining faults; 0 cancels them.
    hyl_fault(client_, HYL_ACCEPT, 500, 3);
    hyl_fault(client_, HYL_ACCEPT, 500, 0);
    EXPECT_EQ(Finish(accept()), "0 404 fail <null>");

    // A repeated answer is held once: the largest count costs no memory.
    ASSERT_EQ(hyl_script_repeat(client_, HYL_ACCEPT, 200, nullptr, 0, UINT32_MAX), 0);
    EXPECT_EQ(hyl_scripted_count(client_, HYL_ACCEPT), UINT32_MAX);
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
    EXPECT_EQ(Finish(hy_r_matchmaking_accept(client_, "t")), "0 404 fail <null>");
}

TEST_F(LoopbackTest, ScriptsBelongToOneClientAndTasksOutliveIt) {
    hy_client* other = hy_client_create(nullptr);
    ASSERT_EQ(hyl_script(other, HYL_START, 200, R"({"started":true})", 3), 0);
    hy_task* mine = hy_r_matchmaking_start(client_, "t", nullptr);
    hy_task* theirs = hy_r_matchmaking_start(other, "t", nullptr);
    hy_client_free(other);
    EXPECT_EQ(Finish(mine), "0 404 fail <null>");
    EXPECT_EQ(Finish(theirs), R"(3 200 okay {"started":true})");
}

}  // namespace
