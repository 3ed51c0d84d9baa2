// The hye_ switch: calls reach the client library while the emulator is off,
// the emulator while it is on, and a task is always finished by the side that
// issued it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "KRMatchmakingSystem.h"
#include "halyard.h"

namespace {

class BackendSwitchTest : public ::testing::Test {
protected:
    void SetUp() override {
        hye_emulator_init(0);
        base_tasks_ = hyl_live_tasks();
        base_responses_ = hyl_live_responses();
        client_ = hy_client_create(nullptr);
        ASSERT_NE(client_, nullptr);
        ASSERT_EQ(hy_uuid_set_from_string(&hopper_, "0b8f3c1e-2d4a-4f6b-8c9d-0e1f2a3b4c5d"), 0);
    }
    void TearDown() override {
        hye_emulator_init(0);
        hy_client_free(client_);
        EXPECT_EQ(hyl_live_tasks(), base_tasks_);
        EXPECT_EQ(hyl_live_responses(), base_responses_);
    }

    hy_client* client_ = nullptr;
    hy_uuid hopper_{};
    uint32_t base_tasks_ = 0;
    uint32_t base_responses_ = 0;
};

TEST_F(BackendSwitchTest, FlagIsAnyNonZeroValue) {
    EXPECT_EQ(hye_emulator_is_enabled(), 0);
    hye_emulator_init(2);
    EXPECT_EQ(hye_emulator_is_enabled(), 1);
    hye_emulator_init(0);
    EXPECT_EQ(hye_emulator_is_enabled(), 0);
}

TEST_F(BackendSwitchTest, LibrarySideInsertsTheReservedArgumentAndPassesResultsThrough) {
    ASSERT_EQ(hyl_script(client_, HYL_TICKET, 201, "{\"ticket\":\"t-1\"}", 1), 0);
    hy_task* task =
        hye_r_matchmaking_ticket(client_, &hopper_, nullptr, nullptr, 0, nullptr, nullptr);
    ASSERT_NE(task, nullptr);
    ASSERT_EQ(hyl_journal_count(client_), 1u);
    const hyl_request* sent = hyl_journal_get(client_, 0);
    EXPECT_EQ(sent->kind, HYL_TICKET);
    EXPECT_STREQ(sent->hopper_id, "0b8f3c1e-2d4a-4f6b-8c9d-0e1f2a3b4c5d");
    EXPECT_STREQ(sent->group_id, "");
    EXPECT_STREQ(sent->second_group_id, "");
    EXPECT_EQ(sent->group_size, 0u);
    EXPECT_EQ(sent->has_reserved, 0);
    EXPECT_STREQ(sent->attributes_json, "");

    // One scripted pending poll, then the answer.
    EXPECT_EQ(hye_task_is_pending(task), 1);
    EXPECT_EQ(hye_task_is_pending(task), 0);
    EXPECT_EQ(hye_task_get_request(task), nullptr);
    hy_response* response = hye_task_fetch_response(task);
    ASSERT_NE(response, nullptr);
    EXPECT_EQ(hye_response_get_status_code(response), 201);
    EXPECT_EQ(hye_response_is_okay(response), 1);
    EXPECT_STREQ(hye_response_get_header(response, "content-type"), "application/json");
    EXPECT_STREQ(hy_json_get_string_item(hye_response_get_json(response), "ticket"), "t-1");
    hye_response_free(response);
    hye_task_free(task);
}

TEST_F(BackendSwitchTest, EveryTicketRequestReachesTheLibraryWithItsArguments) {
    hy_task* tasks[] = {
        hye_r_matchmaking_keepalive(client_, "k"),
        hye_r_matchmaking_accept(client_, "a"),
        hye_r_matchmaking_cancel(client_, "c", 1),
        hye_r_matchmaking_start(client_, "s", hy_json_parse("{\"ip\":\"x\"}", 10)),
        hye_r_matchmaking_create_proof(client_, "p"),
        hye_r_matchmaking_check_proof(client_, "proof"),
        hye_r_matchmaking_create_manual_proof(client_, "manual"),
    };
    const hyl_kind kinds[] = {HYL_KEEPALIVE,
                              HYL_ACCEPT,
                              HYL_CANCEL,
                              HYL_START,
                              HYL_CREATE_PROOF,
                              HYL_CHECK_PROOF,
                              HYL_CREATE_MANUAL_PROOF};
    ASSERT_EQ(hyl_journal_count(client_), 7u);
    for (uint32_t i = 0; i < 7; ++i) {
        ASSERT_NE(tasks[i], nullptr);
        EXPECT_EQ(hyl_journal_get(client_, i)->kind, kinds[i]);
        hye_task_free(tasks[i]);
    }
    EXPECT_STREQ(hyl_journal_get(client_, 0)->ticket, "k");
    EXPECT_STREQ(hyl_journal_get(client_, 2)->ticket, "c");
    EXPECT_EQ(hyl_journal_get(client_, 2)->soft, 1);
    EXPECT_STREQ(hyl_journal_get(client_, 3)->join_info_json, "{\"ip\":\"x\"}");
    EXPECT_STREQ(hyl_journal_get(client_, 5)->text, "proof");
    EXPECT_STREQ(hyl_journal_get(client_, 6)->text, "manual");
    EXPECT_STREQ(hye_client_get_identity_id(client_), hy_client_get_identity_id(client_));
}

TEST_F(BackendSwitchTest, EmulatorSideAnswersWithItsTaskIdText) {
    hye_emulator_init(1);
    hy_task* task = hye_r_matchmaking_keepalive(client_, "not-a-ticket-of-the-emulator");
    ASSERT_NE(task, nullptr);
    // The client library saw nothing.
    EXPECT_EQ(hyl_journal_count(client_), 0u);
    EXPECT_EQ(strlen(reinterpret_cast<const char*>(task)), 36u);
    EXPECT_EQ(hye_task_is_pending(task), 0);
    EXPECT_EQ(hye_task_get_error(task), nullptr);
    hy_response* response = hye_task_fetch_response(task);
    EXPECT_EQ(static_cast<void*>(response), static_cast<void*>(task));
    EXPECT_EQ(hye_response_get_header(response, "content-type"), nullptr);
    hye_response_free(response);
    hye_task_free(task);
    // Proof requests make no emulated task.
    EXPECT_EQ(hye_r_matchmaking_create_proof(client_, "t"), nullptr);
}

TEST_F(BackendSwitchTest, IdentityComesFromTheSideTheFlagNames) {
    const std::string library_id = hy_client_get_identity_id(client_);
    EXPECT_EQ(hye_client_get_identity_id(client_), library_id);

    hye_emulator_init(1);
    const char* emulated = hye_client_get_identity_id(client_);
    ASSERT_NE(emulated, nullptr);
    EXPECT_EQ(strlen(emulated), 36u);
    EXPECT_NE(emulated, library_id);
    // The emulator keeps one identity per client.
    EXPECT_STREQ(hye_client_get_identity_id(client_), emulated);
    const std::string emulated_id = emulated;

    hye_emulator_init(0);
    EXPECT_EQ(hye_client_get_identity_id(client_), library_id);
    EXPECT_NE(hye_client_get_identity_id(client_), emulated_id);
}

TEST_F(BackendSwitchTest, SwitchingModesDoesNotStrandARequestInFlight) {
    hy_task* library_task = hye_r_matchmaking_accept(client_, "t");
    ASSERT_NE(library_task, nullptr);
    hye_emulator_init(1);
    // Still the library's task: the emulator does not claim it.
    EXPECT_EQ(hye_task_is_pending(library_task), 0);
    hy_response* response = hye_task_fetch_response(library_task);
    ASSERT_NE(response, nullptr);
    EXPECT_EQ(hye_response_get_status_code(response), 404);
    hye_response_free(response);
    hye_task_free(library_task);

    hy_task* emulated = hye_r_matchmaking_accept(client_, "t");
    ASSERT_NE(emulated, nullptr);
    hye_emulator_init(0);
    // With the flag off the switch no longer asks the emulator, so an emulated
    // handle must be finished before switching off; switch back to free it.
    hye_emulator_init(1);
    hye_task_free(emulated);
}

}  // namespace
