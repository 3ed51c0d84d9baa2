#include <vector>

#include "HalyardTest.h"

namespace {

using LoopbackTest = HalyardClientTest;

// The ticket text of a {"ticket":"..."} body, "" when there is none.
std::string TicketOf(const std::string& body) {
    hy_json* json = hy_json_parse(body.data(), body.size());
    const char* ticket = hy_json_get_string_item(json, "ticket");
    std::string text = ticket != nullptr ? ticket : "";
    hy_json_free(json);
    return text;
}

bool IsUuidText(const std::string& text) {
    hy_uuid uuid{};
    return hy_uuid_set_from_string(&uuid, text.c_str()) == 0;
}

hy_task* TicketRequest(hy_client* client) {
    return hy_r_matchmaking_ticket(client, nullptr, nullptr, nullptr, 1, nullptr, nullptr, nullptr);
}

TEST_F(LoopbackTest, ScriptedAnswersComeInOrderAfterTheirPendingPolls) {
    ASSERT_EQ(hyl_script(client_, HYL_KEEPALIVE, 200, R"({"state":1})", 2), 0);
    ASSERT_EQ(hyl_script(client_, HYL_KEEPALIVE, 503, nullptr, 0), 0);
    ASSERT_EQ(hyl_script(client_, HYL_KEEPALIVE, 201, "[]", 1), 0);
    EXPECT_EQ(hyl_scripted_count(client_, HYL_KEEPALIVE), 3u);
    EXPECT_EQ(hyl_scripted_count(client_, HYL_ACCEPT), 0u);

    hy_task* first = hy_r_matchmaking_keepalive(client_, "t");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(hyl_scripted_count(client_, HYL_KEEPALIVE), 2u);
    EXPECT_EQ(hy_task_is_pending(first), 1);
    EXPECT_FALSE(hy_task_is_okay(first));
    EXPECT_EQ(hy_task_fetch_response(first), nullptr);  // nothing while pending
    EXPECT_EQ(hy_task_is_pending(first), 1);
    EXPECT_EQ(hy_task_is_pending(first), 0);
    EXPECT_EQ(hy_task_is_pending(first), 0);  // stays finished
    EXPECT_TRUE(hy_task_is_okay(first));
    EXPECT_FALSE(hy_task_is_timed_out(first));
    EXPECT_EQ(hy_task_get_error(first), nullptr);

    hy_response* response = hy_task_fetch_response(first);
    ASSERT_NE(response, nullptr);
    EXPECT_EQ(hy_response_get_status_code(response), 200);
    EXPECT_TRUE(hy_response_is_okay(response));
    EXPECT_EQ(hy_json_get_integer_item(hy_response_get_json(response), "state"), 1);
    EXPECT_STREQ(hy_response_get_header(response, "content-type"), "application/json");
    EXPECT_STREQ(hy_response_get_header(response, "Content-Type"), "application/json");
    EXPECT_EQ(hy_response_get_header(response, "x-other"), nullptr);
    // Each fetch gives a response of its own, with a body of its own.
    hy_response* again = hy_task_fetch_response(first);
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, response);
    EXPECT_NE(hy_response_get_json(again), hy_response_get_json(response));
    hy_response_free(response);
    EXPECT_EQ(Text(hy_response_get_json(again)), R"({"state":1})");
    hy_response_free(again);
    hy_task_free(first);

    hy_task* second = hy_r_matchmaking_keepalive(client_, "t");
    EXPECT_EQ(hy_task_is_pending(second), 0);
    hy_response* failed = hy_task_fetch_response(second);
    EXPECT_EQ(hy_response_get_status_code(failed), 503);
    EXPECT_FALSE(hy_response_is_okay(failed));
    EXPECT_EQ(hy_response_get_json(failed), nullptr);
    EXPECT_EQ(hy_response_get_header(failed, "content-type"), nullptr);
    hy_response_free(failed);
    hy_task_free(second);

    const Outcome third = Finish(hy_r_matchmaking_keepalive(client_, "t"));
    EXPECT_EQ(third.pendingPolls, 1);
    EXPECT_EQ(third.status, 201);
    EXPECT_EQ(third.body, "[]");
    EXPECT_EQ(hyl_scripted_count(client_, HYL_KEEPALIVE), 0u);

    // Queue used up: the built-in default takes over.
    const Outcome fourth = Finish(hy_r_matchmaking_keepalive(client_, "t"));
    EXPECT_EQ(fourth.pendingPolls, 0);
    EXPECT_EQ(fourth.status, 404);
    EXPECT_EQ(fourth.body, "<null>");
}

TEST_F(LoopbackTest, BuiltInDefaultsGiveFreshTicketsAndNotFoundElsewhere) {
    std::vector<std::string> tickets;
    for (int i = 0; i < 2; ++i) {
        const Outcome outcome = Finish(TicketRequest(client_));
        EXPECT_EQ(outcome.pendingPolls, 0);
        EXPECT_EQ(outcome.status, 200);
        tickets.push_back(TicketOf(outcome.body));
        EXPECT_TRUE(IsUuidText(tickets.back())) << outcome.body;
    }
    EXPECT_NE(tickets[0], tickets[1]);

    // A script for one kind does not answer another.
    ASSERT_EQ(hyl_script(client_, HYL_KEEPALIVE, 200, "{}", 0), 0);
    const std::vector<hy_task*> tasks = {
        hy_r_matchmaking_accept(client_, "t"),
        hy_r_matchmaking_cancel(client_, "t", 0),
        hy_r_matchmaking_start(client_, "t", nullptr),
        hy_r_matchmaking_create_proof(client_, "t"),
        hy_r_matchmaking_check_proof(client_, "p"),
        hy_r_matchmaking_create_manual_proof(client_, "m"),
        hy_r_get_object(client_, "hoppers", nullptr, nullptr),
        hy_r_mark_identity_active(client_, 3),
    };
    for (hy_task* task : tasks) {
        ASSERT_NE(task, nullptr);
        const Outcome outcome = Finish(task);
        EXPECT_EQ(outcome.pendingPolls, 0);
        EXPECT_EQ(outcome.status, 404);
        EXPECT_EQ(outcome.body, "<null>");
    }
}

TEST_F(LoopbackTest, SetDefaultAnswersOnceTheQueueIsEmpty) {
    ASSERT_EQ(hyl_set_default(client_, HYL_TICKET, 500, R"({"error":"busy"})", 1), 0);
    ASSERT_EQ(hyl_script(client_, HYL_TICKET, 200, R"({"ticket":"scripted"})", 0), 0);
    EXPECT_EQ(hyl_scripted_count(client_, HYL_TICKET), 1u);  // a default is not queued

    const Outcome scripted = Finish(TicketRequest(client_));
    EXPECT_EQ(scripted.pendingPolls, 0);
    EXPECT_EQ(scripted.body, R"({"ticket":"scripted"})");

    // The default is reused for every later request.
    for (int i = 0; i < 2; ++i) {
        const Outcome outcome = Finish(TicketRequest(client_));
        EXPECT_EQ(outcome.pendingPolls, 1);
        EXPECT_EQ(outcome.status, 500);
        EXPECT_EQ(outcome.body, R"({"error":"busy"})");
    }

    // Another default replaces the first.
    ASSERT_EQ(hyl_set_default(client_, HYL_TICKET, 204, nullptr, 0), 0);
    const Outcome replaced = Finish(TicketRequest(client_));
    EXPECT_EQ(replaced.pendingPolls, 0);
    EXPECT_EQ(replaced.status, 204);
    EXPECT_EQ(replaced.body, "<null>");
}

TEST_F(LoopbackTest, BadScriptsAreRefusedAndQueueNothing) {
    EXPECT_EQ(hyl_script(client_, HYL_ACCEPT, 200, "{not json", 0), -1);
    EXPECT_EQ(hyl_script(client_, HYL_ACCEPT, 200, "", 0), -1);
    EXPECT_EQ(hyl_set_default(client_, HYL_ACCEPT, 200, "[1,", 0), -1);
    EXPECT_EQ(hyl_script(client_, HYL_KIND_COUNT, 200, nullptr, 0), -1);
    EXPECT_EQ(hyl_script(client_, static_cast<hyl_kind>(-1), 200, nullptr, 0), -1);
    EXPECT_EQ(hyl_set_default(client_, HYL_KIND_COUNT, 200, nullptr, 0), -1);
    EXPECT_EQ(hyl_script(nullptr, HYL_ACCEPT, 200, nullptr, 0), -1);
    EXPECT_EQ(hyl_scripted_count(client_, HYL_ACCEPT), 0u);
    EXPECT_EQ(hyl_scripted_count(client_, HYL_KIND_COUNT), 0u);
    EXPECT_EQ(hyl_scripted_count(nullptr, HYL_ACCEPT), 0u);

    // The refused default left the built-in one in place.
    EXPECT_EQ(Finish(hy_r_matchmaking_accept(client_, "t")).status, 404);
}

TEST_F(LoopbackTest, ResponseOkayCoversStatus200To399) {
    struct Case {
        int32_t status;
        bool okay;
    };
    const std::vector<Case> cases = {{199, false}, {200, true},  {302, true}, {399, true},
                                     {400, false}, {504, false}, {0, false},  {-1, false}};
    for (const Case& c : cases) {
        hyl_script(client_, HYL_ACCEPT, c.status, nullptr, 0);
        hy_task* task = hy_r_matchmaking_accept(client_, "t");
        hy_response* response = hy_task_fetch_response(task);
        EXPECT_EQ(hy_response_get_status_code(response), c.status);
        EXPECT_EQ(hy_response_is_okay(response) != 0, c.okay) << c.status;
        hy_response_free(response);
        hy_task_free(task);
    }
}

TEST_F(LoopbackTest, ScriptsBelongToOneClientAndTasksOutliveIt) {
    hy_client* other = hy_client_create(nullptr);
    ASSERT_EQ(hyl_script(other, HYL_START, 200, R"({"started":true})", 3), 0);

    hy_task* mine = hy_r_matchmaking_start(client_, "t", nullptr);
    hy_task* theirs = hy_r_matchmaking_start(other, "t", nullptr);
    EXPECT_EQ(hyl_journal_count(other), 1u);
    EXPECT_EQ(hyl_journal_count(client_), 1u);
    hy_client_free(other);

    const Outcome mineOutcome = Finish(mine);
    EXPECT_EQ(mineOutcome.pendingPolls, 0);
    EXPECT_EQ(mineOutcome.status, 404);
    const Outcome theirsOutcome = Finish(theirs);
    EXPECT_EQ(theirsOutcome.pendingPolls, 3);
    EXPECT_EQ(theirsOutcome.status, 200);
    EXPECT_EQ(theirsOutcome.body, R"({"started":true})");
}

TEST_F(LoopbackTest, LiveCountsFollowTasksAndResponses) {
    const uint32_t tasks = hyl_live_tasks();
    const uint32_t responses = hyl_live_responses();
    hyl_script(client_, HYL_CHECK_PROOF, 200, R"({"valid":true})", 0);
    hy_task* task = hy_r_matchmaking_check_proof(client_, "proof");
    EXPECT_EQ(hyl_live_tasks(), tasks + 1);
    hy_response* response = hy_task_fetch_response(task);
    EXPECT_EQ(hyl_live_responses(), responses + 1);
    hy_task_free(task);
    EXPECT_EQ(hyl_live_tasks(), tasks);
    // The body belongs to the response, not the task.
    EXPECT_TRUE(hy_json_is_true(hy_json_get_item(hy_response_get_json(response), "valid")));
    hy_response_free(response);
    EXPECT_EQ(hyl_live_responses(), responses);

    hy_task_free(nullptr);
    hy_response_free(nullptr);
    EXPECT_EQ(hy_task_is_pending(nullptr), 0);
    EXPECT_EQ(hy_task_fetch_response(nullptr), nullptr);
    EXPECT_EQ(hy_response_get_status_code(nullptr), 0);
    EXPECT_EQ(hy_response_get_json(nullptr), nullptr);
}

}  // namespace
