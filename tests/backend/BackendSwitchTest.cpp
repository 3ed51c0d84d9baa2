// The hye_ switch: calls reach the client library while the emulator is off,
// the emulator while it is on, and a task is always finished by the side that
// issued it.
#include <gtest/gtest.h>

#include <string>

#include "KRMatchmakingSystem.h"
#include "halyard.h"
#include "support/MatchmakerTestSupport.h"

namespace {

constexpr const char* kHopper = "0b8f3c1e-2d4a-4f6b-8c9d-0e1f2a3b4c5d";

// A loopback client whose leftovers the base fixture counts at tear down.
using BackendSwitchTest = krmm_test::MatchmakerTest;

TEST_F(BackendSwitchTest, LibrarySideGetsEveryRequestWithItsArgumentsAndPassesResultsThrough) {
    hy_uuid hopper{};
    ASSERT_EQ(hy_uuid_set_from_string(&hopper, kHopper), 0);
    ASSERT_EQ(hyl_script(client_, HYL_TICKET, 201, "{\"ticket\":\"t-1\"}", 1), 0);
    const struct {
        hy_task* task;
        hyl_kind kind;
        const char* text;  // the ticket, proof or argument the journal shows
    } sent[] = {
        {hye_r_matchmaking_ticket(client_, &hopper, nullptr, nullptr, 0, nullptr, nullptr),
         HYL_TICKET, ""},
        {hye_r_matchmaking_keepalive(client_, "k"), HYL_KEEPALIVE, "k"},
        {hye_r_matchmaking_accept(client_, "a"), HYL_ACCEPT, "a"},
        {hye_r_matchmaking_cancel(client_, "c", 1), HYL_CANCEL, "c"},
        {hye_r_matchmaking_start(client_, "s", hy_json_parse("{\"ip\":\"x\"}", 10)), HYL_START,
         "s"},
        {hye_r_matchmaking_create_proof(client_, "p"), HYL_CREATE_PROOF, "p"},
        {hye_r_matchmaking_check_proof(client_, "proof"), HYL_CHECK_PROOF, "proof"},
        {hye_r_matchmaking_create_manual_proof(client_, "manual"), HYL_CREATE_MANUAL_PROOF,
         "manual"},
    };
    ASSERT_EQ(hyl_journal_count(client_), 8u);
    for (uint32_t i = 0; i < 8; ++i) {
        const hyl_request* request = hyl_journal_get(client_, i);
        ASSERT_NE(sent[i].task, nullptr);
        EXPECT_EQ(request->kind, sent[i].kind);
        EXPECT_EQ(std::string(request->ticket) + request->text, sent[i].text) << i;
    }
    const hyl_request* ticket = hyl_journal_get(client_, 0);
    EXPECT_STREQ(ticket->hopper_id, kHopper);
    EXPECT_EQ(ticket->has_reserved, 0);  // the switch inserts the reserved null argument
    EXPECT_EQ(hyl_journal_get(client_, 3)->soft, 1);
    EXPECT_STREQ(hyl_journal_get(client_, 4)->join_info_json, "{\"ip\":\"x\"}");

    // One scripted pending poll, then the answer, as the library gives it.
    EXPECT_EQ(hye_task_is_pending(sent[0].task), 1);
    EXPECT_EQ(hye_task_is_pending(sent[0].task), 0);
    hy_response* response = hye_task_fetch_response(sent[0].task);
    ASSERT_NE(response, nullptr);
    EXPECT_EQ(hye_response_get_status_code(response), 201);
    EXPECT_EQ(hye_response_is_okay(response), 1);
    EXPECT_STREQ(hye_response_get_header(response, "content-type"), "application/json");
    EXPECT_STREQ(hy_json_get_string_item(hye_response_get_json(response), "ticket"), "t-1");
    hye_response_free(response);
    for (const auto& request : sent) {
        hye_task_free(request.task);
    }
}

// A request in flight when the switch flips is finished by the side that
// issued it, both ways.
TEST_F(BackendSwitchTest, IdentityAndNewRequestsComeFromTheSideTheFlagNames) {
    const std::string library_id = hy_client_get_identity_id(client_);
    EXPECT_EQ(hye_client_get_identity_id(client_), library_id);
    hy_task* library_task = hye_r_matchmaking_accept(client_, "t");
    hye_emulator_init(1);
    const std::string emulated = hye_client_get_identity_id(client_);
    EXPECT_EQ(emulated.size(), 36u);
    EXPECT_NE(emulated, library_id);
    EXPECT_EQ(hye_client_get_identity_id(client_), emulated);  // one identity per client
    // New requests go to the emulator (the road test runs a whole match
    // there), which answers no proof requests and leaves the client library
    // alone; the request tests show the proof task failing on that.
    EXPECT_EQ(hye_r_matchmaking_create_proof(client_, "t"), nullptr);
    EXPECT_EQ(hyl_journal_count(client_), 1u);
    EXPECT_EQ(hye_task_is_pending(library_task), 0);
    hy_response* response = hye_task_fetch_response(library_task);
    ASSERT_NE(response, nullptr);
    EXPECT_EQ(hye_response_get_status_code(response), 404);
    hye_response_free(response);
    hye_task_free(library_task);
    hye_emulator_init(2);  // any non-zero value switches it on
    EXPECT_EQ(hye_emulator_is_enabled(), 1);
    // And back: an emulated request in flight is still the emulator's.
    hy_task* emulated_task = hye_r_matchmaking_keepalive(client_, "t");
    ASSERT_NE(emulated_task, nullptr);
    hye_emulator_init(0);
    EXPECT_EQ(hye_emulator_is_enabled(), 0);
    EXPECT_EQ(hye_client_get_identity_id(client_), library_id);
    EXPECT_EQ(hye_task_is_pending(emulated_task), 0);
    EXPECT_EQ(hye_task_is_okay(emulated_task), 1);
    hy_response* emulated_response = hye_task_fetch_response(emulated_task);
    EXPECT_EQ(hye_response_get_status_code(emulated_response), 200);
    hye_response_free(emulated_response);
    hye_task_free(emulated_task);
    EXPECT_EQ(hyl_journal_count(client_), 1u);  // nothing reached the client library
}

}  // namespace
