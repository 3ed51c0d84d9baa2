#include <ostream>
#include <string>

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

// ---- Start ----

struct JoinInfoCase {
    const char* name;
    const char* join_info;
    const char* sent;
};

void PrintTo(const JoinInfoCase& c, std::ostream* os) {
    *os << c.name;
}

class StartJoinInfoTest : public RequestTest, public ::testing::WithParamInterface<JoinInfoCase> {};

TEST_P(StartJoinInfoTest, StartIsSentWhateverTheJoinInfo) {
    const JoinInfoCase& c = GetParam();
    hyl_script(client_, HYL_START, 200, kStatusBody, 0);
    auto* task =
        Own(new TaskMatchmakingStartMatch(manager_->heap(), system_, kTicket, c.join_info));
    Finish& finish = Queue(task);
    RunToEnd(task);

    ASSERT_EQ(Sent(HYL_START), 1u);
    EXPECT_STREQ(Journal(0).ticket, kTicket);
    EXPECT_STREQ(Journal(0).join_info_json, c.sent);
    EXPECT_TRUE(finish.success);
    EXPECT_EQ(task->status().seq, 3u);
}

INSTANTIATE_TEST_SUITE_P(
    JoinInfo, StartJoinInfoTest,
    ::testing::Values(JoinInfoCase{"Empty", "", ""}, JoinInfoCase{"Missing", nullptr, ""},
                      JoinInfoCase{"NotJson", "host:7777", ""},
                      JoinInfoCase{"Json", "{\"host\":\"10.0.0.1\",\"port\":7777}",
                                   "{\"host\":\"10.0.0.1\",\"port\":7777}"}),
    [](const ::testing::TestParamInfo<JoinInfoCase>& info) { return info.param.name; });

TEST_F(RequestTest, UnparseableStatusFailsWithItsCode) {
    hyl_script(client_, HYL_START, 200, "{\"seq\":0}", 0);
    auto* task = Own(new TaskMatchmakingStartMatch(manager_->heap(), system_, kTicket, "{}"));
    Finish& finish = Queue(task);
    RunToEnd(task);

    EXPECT_FALSE(finish.success);
    EXPECT_EQ(finish.code, 200);
    EXPECT_EQ(finish.message, "{\"seq\":0}");
    EXPECT_EQ(CountLog("Failed to parse the matchable status json"), 1u);
}

// ---- Proof ----

struct ProofCase {
    const char* name;
    const char* body;
    bool success;
    const char* proof;
    int64_t expires_at;
};

void PrintTo(const ProofCase& c, std::ostream* os) {
    *os << c.name;
}

class ProofTest : public RequestTest, public ::testing::WithParamInterface<ProofCase> {};

TEST_P(ProofTest, NeedsBothProofAndExpiry) {
    const ProofCase& c = GetParam();
    hyl_script(client_, HYL_CREATE_PROOF, 200, c.body, 1);
    auto* task = Own(new TaskMatchmakingCreateProof(manager_->heap(), system_, kTicket));
    Finish& finish = Queue(task);
    RunToEnd(task);

    ASSERT_EQ(Sent(HYL_CREATE_PROOF), 1u);
    EXPECT_STREQ(Journal(0).ticket, kTicket);
    EXPECT_EQ(finish.success, c.success);
    EXPECT_EQ(finish.code, 200);
    EXPECT_EQ(finish.message, c.body);
    EXPECT_STREQ(task->proof().c_str(), c.proof);
    EXPECT_EQ(task->expires_at(), c.expires_at);
    EXPECT_EQ(CountLog("[WRN]"), 0u) << "a failed proof parse is silent";
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, ProofTest,
    ::testing::Values(
        ProofCase{"Both", "{\"proof\":\"tok\",\"expires_at\":1700000000}", true, "tok", 1700000000},
        ProofCase{"TextExpiry", "{\"proof\":\"tok\",\"expires_at\":\"2024-01-02T03:04:05Z\"}", true,
                  "tok", 1704164645},
        ProofCase{"NoExpiry", "{\"proof\":\"tok\"}", false, "tok", 0},
        ProofCase{"NoProof", "{\"expires_at\":1700000000}", false, "", 1700000000},
        ProofCase{"EmptyProof", "{\"proof\":\"\",\"expires_at\":1700000000}", false, "",
                  1700000000}),
    [](const ::testing::TestParamInfo<ProofCase>& info) { return info.param.name; });

// ---- Hopper info ----

TEST_F(RequestTest, HopperInfoAsksTheObjectStore) {
    hyl_script(client_, HYL_GET_OBJECT, 200, kHopperBody, 2);
    auto* task = Own(new TaskMatchmakingRequestHopperInfo(manager_->heap(), system_, kHopper));
    Finish& finish = Queue(task);
    RunToEnd(task);

    ASSERT_EQ(Sent(HYL_GET_OBJECT), 1u);
    EXPECT_STREQ(Journal(0).collection, "_mm_hoppers");
    EXPECT_STREQ(Journal(0).object_id, kHopper);
    EXPECT_STREQ(Journal(0).options_json, "{\"expand\":[\"rules\"]}");
    EXPECT_TRUE(finish.success);
    EXPECT_EQ(finish.code, 200);
    EXPECT_STREQ(task->hopper_info().id.c_str(), kHopper);
    EXPECT_STREQ(task->hopper_info().name.c_str(), "duel");
    EXPECT_EQ(task->hopper_info().team_count, 2);
}

TEST_F(RequestTest, HopperInfoFailures) {
    // No hopper id: refused before any backend call.
    auto* empty = Own(new TaskMatchmakingRequestHopperInfo(manager_->heap(), system_, ""));
    Finish& empty_finish = Queue(empty);
    RunToEnd(empty);
    EXPECT_EQ(hyl_journal_count(client_), 0u);
    EXPECT_FALSE(empty_finish.success);
    EXPECT_EQ(empty_finish.code, -1);
    EXPECT_EQ(CountLog("No hopper UUID specified, cannot send request"), 1u);

    // A body that is no hopper.
    hyl_script(client_, HYL_GET_OBJECT, 200, "{\"_id\":\"nope\"}", 0);
    auto* bad = Own(new TaskMatchmakingRequestHopperInfo(manager_->heap(), system_, kHopper));
    Finish& bad_finish = Queue(bad);
    RunToEnd(bad);
    EXPECT_FALSE(bad_finish.success);
    EXPECT_EQ(bad_finish.code, 200);
    EXPECT_EQ(CountLog("Failed to parse the hopper info json"), 1u);

    // A success without a body: no verdict, and no parse warning either.
    hyl_script(client_, HYL_GET_OBJECT, 204, nullptr, 0);
    auto* bare = Own(new TaskMatchmakingRequestHopperInfo(manager_->heap(), system_, kHopper));
    Finish& bare_finish = Queue(bare);
    RunToEnd(bare);
    EXPECT_FALSE(bare_finish.success);
    EXPECT_EQ(bare_finish.code, 204);
    EXPECT_EQ(bare_finish.message, "");
    EXPECT_EQ(CountLog("Failed to parse the hopper info json"), 1u);
}

TEST_F(RequestTest, EmulatorMakesNoProofButHopperInfoStillReachesTheLibrary) {
    hye_emulator_init(1);
    hyl_script(client_, HYL_GET_OBJECT, 200, kHopperBody, 1);
    auto* proof = Own(new TaskMatchmakingCreateProof(manager_->heap(), system_, kTicket));
    auto* hopper = Own(new TaskMatchmakingRequestHopperInfo(manager_->heap(), system_, kHopper));
    Finish& proof_finish = Queue(proof);
    Finish& hopper_finish = Queue(hopper);
    RunToEnd(proof);
    RunToEnd(hopper);

    EXPECT_EQ(proof->request(), nullptr);
    EXPECT_FALSE(proof_finish.success);
    EXPECT_EQ(proof_finish.code, -1);
    EXPECT_EQ(Sent(HYL_CREATE_PROOF), 0u);

    EXPECT_EQ(Sent(HYL_GET_OBJECT), 1u);
    EXPECT_TRUE(hopper_finish.success);
    EXPECT_EQ(hopper_finish.code, 200);
    // Tear down switches the emulator off again.
}

}  // namespace
}  // namespace requests_test
