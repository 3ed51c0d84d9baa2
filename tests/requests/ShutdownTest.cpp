// Requests on a task manager that is shutting down: the drain advances them
// pass after pass without the clock moving, so nothing may wait for it.
#include <tuple>

#include "RequestTestSupport.h"
#include "requests/TaskMatchmakingAcceptMatch.h"
#include "requests/TaskMatchmakingCreateProof.h"

namespace requests_test {
namespace {

using namespace KRMatchmakingSystem;

TEST_F(RequestTest, CancelledRetriesMakeNoFurtherAttemptWhileTheManagerShutsDown) {
    // Two requests: one between attempts, one with its first attempt still
    // waiting for the backend when the shutdown begins.
    hyl_script(client_, HYL_ACCEPT, 503, nullptr, 0);
    hyl_script(client_, HYL_CREATE_PROOF, 502, nullptr, 3);
    auto* accept = Own(new TaskMatchmakingAcceptMatchRetries(
        manager_->heap(), system_, kTicket, kRequestMaxAttempts, kRequestRetryDelayMs));
    auto* proof = Own(new TaskMatchmakingCreateProofRetries(
        manager_->heap(), system_, kTicket, kRequestMaxAttempts, kRequestRetryDelayMs));
    Finish& accept_finish = Queue(accept);
    Finish& proof_finish = Queue(proof);
    Pass(3);
    ASSERT_EQ(accept->attempts(), 1);
    ASSERT_FALSE(accept->IsFinished());

    int passes = 0;
    while (!manager_->Shutdown() && passes < 50) {
        manager_->Process();  // the clock stands still
        ++passes;
    }
    EXPECT_TRUE(manager_->queue_empty()) << "the drain did not end";
    EXPECT_EQ(Sent(HYL_ACCEPT), 1u);
    EXPECT_EQ(Sent(HYL_CREATE_PROOF), 1u);
    for (const auto& [task, finish, code] :
         {std::make_tuple(static_cast<Task*>(accept), &accept_finish, 503),
          std::make_tuple(static_cast<Task*>(proof), &proof_finish, 502)}) {
        SCOPED_TRACE(task->name());
        EXPECT_EQ(task->state(), KRTaskSystem::CANCELLED);
        EXPECT_EQ(finish->calls, 1);
        EXPECT_FALSE(finish->success);
        EXPECT_EQ(finish->code, code);
    }
}

}  // namespace
}  // namespace requests_test
