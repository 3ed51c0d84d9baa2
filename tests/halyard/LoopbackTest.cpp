#include "HalyardTest.h"

namespace {

using LoopbackTest = HalyardClientTest;

hy_task* TicketRequest(hy_client* client) {
    return hy_r_matchmaking_ticket(client, nullptr, nullptr, nullptr, 1, nullptr, nullptr, nullptr);
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
}

TEST_F(LoopbackTest, SetDefaultAnswersOnceTheQueueIsEmpty) {
    ASSERT_EQ(hyl_set_default(client_, HYL_TICKET, 500, R"({"error":"busy"})", 1), 0);
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
}

TEST_F(LoopbackTest, BadScriptsAreRefusedAndQueueNothing) {
    EXPECT_EQ(hyl_script(client_, HYL_ACCEPT, 200, "{not json", 0), -1);
    EXPECT_EQ(hyl_set_default(client_, HYL_ACCEPT, 200, "[1,", 0), -1);
    EXPECT_EQ(hyl_script(client_, HYL_KIND_COUNT, 200, nullptr, 0), -1);
    EXPECT_EQ(hyl_script(client_, static_cast<hyl_kind>(-1), 200, nullptr, 0), -1);
    EXPECT_EQ(hyl_script(nullptr, HYL_ACCEPT, 200, nullptr, 0), -1);
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
