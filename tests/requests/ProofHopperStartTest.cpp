#include "RequestTestSupport.h"
#include "requests/TaskMatchmakingCreateProof.h"
#include "requests/TaskMatchmakingRequestHopperInfo.h"
#include "requests/TaskMatchmakingStartMatch.h"

namespace requests_test {
namespace {

using namespace KRMatchmakingSystem;

constexpr const char* kHopperBody =
    "{\"_id\":\"aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee\",\"name\":\"duel\",\"players\":2,"
    "\"teams\":[0.5,0.5],\"rules\":[{\"kind\":\"skill\"}]}";

// Join info that is not JSON is dropped, never a reason to keep the start back.
TEST_F(RequestTest, StartIsSentWhateverTheJoinInfo) {
    const struct {
        const char* join_info;
        const char* sent;
    } cases[] = {{nullptr, ""}, {"host:7777", ""}, {"{\"port\":7777}", "{\"port\":7777}"}};
    uint32_t index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(index);
        hyl_script(client_, HYL_START, 200, kStatusBody, 0);
        auto* task = new TaskMatchmakingStartMatch(manager_->heap(), system_, kTicket, c.join_info);
        EXPECT_TRUE(Run(task).success);
        ASSERT_EQ(Sent(HYL_START), index + 1);
        EXPECT_STREQ(Journal(index).ticket, kTicket);
        EXPECT_STREQ(Journal(index++).join_info_json, c.sent);
        EXPECT_EQ(task->status().seq, 3u);
    }
    // A status that does not parse fails the start, with the code and body.
    hyl_script(client_, HYL_START, 200, "{\"seq\":0}", 0);
    const Finish& finish =
        Run(new TaskMatchmakingStartMatch(manager_->heap(), system_, kTicket, "{}"));
    EXPECT_FALSE(finish.success);
    EXPECT_EQ(finish.code, 200);
    EXPECT_EQ(finish.message, "{\"seq\":0}");
    EXPECT_EQ(CountLog("Failed to parse the matchable status json"), 1u);
}

TEST_F(RequestTest, ProofNeedsBothProofAndExpiry) {
    const struct {
        const char* body;
        bool success;
        const char* proof;
        int64_t expires_at;
    } cases[] = {
        {"{\"proof\":\"tok\",\"expires_at\":1700000000}", true, "tok", 1700000000},
        {"{\"proof\":\"tok\",\"expires_at\":\"2024-01-02T03:04:05Z\"}", true, "tok", 1704164645},
        {"{\"proof\":\"tok\"}", false, "tok", 0},
        {"{\"proof\":\"\",\"expires_at\":1700000000}", false, "", 1700000000},
    };
    uint32_t index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        hyl_script(client_, HYL_CREATE_PROOF, 200, c.body, 1);
        auto* task = new TaskMatchmakingCreateProof(manager_->heap(), system_, kTicket);
        const Finish& finish = Run(task);
        ASSERT_EQ(Sent(HYL_CREATE_PROOF), ++index);
        EXPECT_STREQ(Journal(index - 1).ticket, kTicket);
        EXPECT_EQ(finish.success, c.success);
        EXPECT_EQ(finish.code, 200);
        EXPECT_EQ(finish.message, c.body);
        EXPECT_STREQ(task->proof().c_str(), c.proof);
        EXPECT_EQ(task->expires_at(), c.expires_at);
    }
    EXPECT_EQ(CountLog("[WRN]"), 0u) << "a failed proof parse is silent";
}

// What the hopper request asks the object store for, and how it reads the
// answer: a body that is no hopper, or none at all, gives no verdict.
TEST_F(RequestTest, HopperInfoAsksTheObjectStore) {
    const struct {
        const char* hopper;
        int32_t status;
        const char* body;
        bool success;
        int32_t code;
        const char* warning;
    } cases[] = {
        {kHopper, 200, kHopperBody, true, 200, nullptr},
        {kHopper, 200, "{\"_id\":\"nope\"}", false, 200, "Failed to parse the hopper info json"},
        {kHopper, 204, nullptr, false, 204, nullptr},
        {"", 200, kHopperBody, false, -1, "No hopper UUID specified, cannot send request"},
    };
    uint32_t sent = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        rec_.Clear();
        if (c.hopper[0] != '\0') {
            hyl_script(client_, HYL_GET_OBJECT, c.status, c.body, 1);
            ++sent;
        }
        auto* task = new TaskMatchmakingRequestHopperInfo(manager_->heap(), system_, c.hopper);
        const Finish& finish = Run(task);
        ASSERT_EQ(Sent(HYL_GET_OBJECT), sent) << "an empty hopper id is refused unsent";
        EXPECT_STREQ(Journal(0).collection, "_mm_hoppers");
        EXPECT_STREQ(Journal(0).object_id, kHopper);
        EXPECT_STREQ(Journal(0).options_json, "{\"expand\":[\"rules\"]}");
        EXPECT_EQ(finish.success, c.success);
        EXPECT_EQ(finish.code, c.code);
        EXPECT_EQ(CountLog("[WRN]"), c.warning != nullptr ? 1u : 0u);
        if (c.warning != nullptr) {
            EXPECT_EQ(CountLog(c.warning), 1u);
        }
        if (c.success) {
            EXPECT_STREQ(task->hopper_info().id.c_str(), kHopper);
            EXPECT_STREQ(task->hopper_info().name.c_str(), "duel");
            EXPECT_EQ(task->hopper_info().team_count, 2);
        }
    }
}

TEST_F(RequestTest, EmulatorMakesNoProofButHopperInfoStillReachesTheLibrary) {
    hye_emulator_init(1);  // tear down switches it off again
    hyl_script(client_, HYL_GET_OBJECT, 200, kHopperBody, 1);
    auto* proof = new TaskMatchmakingCreateProof(manager_->heap(), system_, kTicket);
    const Finish& proof_finish = Run(proof);
    EXPECT_EQ(proof->request(), nullptr);
    EXPECT_FALSE(proof_finish.success);
    EXPECT_EQ(proof_finish.code, -1);
    EXPECT_EQ(Sent(HYL_CREATE_PROOF), 0u);

    EXPECT_TRUE(
        Run(new TaskMatchmakingRequestHopperInfo(manager_->heap(), system_, kHopper)).success);
    EXPECT_EQ(Sent(HYL_GET_OBJECT), 1u);
}

}  // namespace
}  // namespace requests_test
