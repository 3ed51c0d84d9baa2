// The emulator behind the exported switch: a whole request runs through it and
// the identity the switch reports is the one the match shows.
#include "EmulatorFixture.h"
#include "KRMatchmakingSystem.h"

namespace emulator_test {
namespace {

class SwitchRoutingTest : public EmulatorTest {
protected:
    void SetUp() override {
        EmulatorTest::SetUp();
        library_client_ = hy_client_create(nullptr);
        ASSERT_NE(library_client_, nullptr);
    }
    void TearDown() override {
        hye_emulator_init(0);
        hy_client_free(library_client_);
        EmulatorTest::TearDown();
    }
    hy_client* library_client_ = nullptr;
};

TEST_F(SwitchRoutingTest, EmulatedRequestRunsToItsEndThroughTheSwitch) {
    hye_emulator_init(2);
    EXPECT_EQ(hye_emulator_is_enabled(), 1);
    hy_uuid hopper{};
    ASSERT_EQ(hy_uuid_set_from_string(&hopper, kSoloHopper), 0);
    hy_task* ticket_task = hye_r_matchmaking_ticket(library_client_, &hopper, nullptr, nullptr, 0,
                                                    hy_json_new_object(), nullptr);
    ASSERT_NE(ticket_task, nullptr);
    EXPECT_TRUE(emu().IsEmulatorHandle(ticket_task));
    hy_response* ticket_response = hye_task_fetch_response(ticket_task);
    const std::string ticket =
        hy_json_get_string_item(hye_response_get_json(ticket_response), "ticket");
    hye_response_free(ticket_response);
    hye_task_free(ticket_task);
    EXPECT_EQ(emu().task_count(), 0u);

    hy_task* keepalive = hye_r_matchmaking_keepalive(library_client_, ticket.c_str());
    EXPECT_EQ(hye_task_is_pending(keepalive), 0);
    EXPECT_EQ(hye_task_is_okay(keepalive), 1);
    hy_response* response = hye_task_fetch_response(keepalive);
    EXPECT_EQ(static_cast<void*>(response), static_cast<void*>(keepalive));
    EXPECT_EQ(hye_response_get_status_code(response), 200);
    const Status status = ReadStatus(hye_response_get_json(response));
    EXPECT_EQ(status.state, "matched");
    // The identity the switch reports is the one the match shows.
    EXPECT_EQ(status.joined, std::vector<std::string>{hye_client_get_identity_id(library_client_)});
    hye_response_free(response);
    hye_task_free(keepalive);
    EXPECT_EQ(emu().task_count(), 0u);
    // No request reached the client library.
    EXPECT_EQ(hyl_journal_count(library_client_), 0u);
}

}  // namespace
}  // namespace emulator_test
