#include <functional>
#include <string>

#include "RequestTestSupport.h"
#include "requests/TaskMatchmakingAcceptMatch.h"
#include "requests/TaskMatchmakingCreateProof.h"
#include "requests/TaskMatchmakingDeclineMatch.h"
#include "requests/TaskMatchmakingKeepAlive.h"
#include "requests/TaskMatchmakingRequestHopperInfo.h"
#include "requests/TaskMatchmakingStartMatch.h"

namespace requests_test {
namespace {

using namespace KRMatchmakingSystem;

// The retry waits out the delay after the failed answer, and no longer.
TEST_F(RequestTest, ServerErrorIsRetriedAfterTheDelay) {
    hyl_script(client_, HYL_ACCEPT, 502, "{\"error\":\"busy\"}", 0);
    hyl_script(client_, HYL_ACCEPT, 200, kStatusBody, 0);
    auto* task = Own(new TaskMatchmakingAcceptMatchRetries(
        manager_->heap(), system_, kTicket, kRequestMaxAttempts, kRequestRetryDelayMs));
    Finish& finish = Queue(task);
    Pass(3);  // the clock stands still until the 502 is in
    ASSERT_EQ(CountLog("TaskMatchmakingAcceptMatch completed with code 502 and response "
                       "'{\"error\":\"busy\"}' in"),
              1u);
    Pass(1, kRequestRetryDelayMs - 1);
    EXPECT_EQ(task->attempts(), 1) << "the retry came early";
    Pass(1, 1);
    EXPECT_EQ(task->attempts(), 2) << "the retry came late";
    RunToEnd(task);
    EXPECT_TRUE(finish.success);
    EXPECT_EQ(Sent(HYL_ACCEPT), 2u);
}

// Boundary pairs around the codes that succeed and the ones worth a retry.
TEST_F(RequestTest, OnlyServerErrorsAreRetried) {
    const struct {
        int32_t code;
        bool success;
        int32_t attempts;
    } cases[] = {{199, false, 1}, {200, true, 1},  {399, true, 1},  {400, false, 1},
                 {499, false, 1}, {500, false, 3}, {599, false, 3}, {600, false, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        hyl_journal_clear(client_);
        hyl_set_default(client_, HYL_ACCEPT, c.code, kStatusBody, 0);
        auto* task = new TaskMatchmakingAcceptMatchRetries(
            manager_->heap(), system_, kTicket, kRequestMaxAttempts, kRequestRetryDelayMs);
        const Finish& finish = Run(task);
        EXPECT_EQ(finish.success, c.success);
        EXPECT_EQ(finish.code, c.code);
        EXPECT_EQ(task->attempts(), c.attempts);
        EXPECT_EQ(Sent(HYL_ACCEPT), static_cast<uint32_t>(c.attempts));
        const std::string warning = "Unexpected status code " + std::to_string(c.code);
        EXPECT_EQ(CountLog(warning), c.success ? 0u : static_cast<size_t>(c.attempts));
        // A failed answer's body is not a status to act on.
        EXPECT_EQ(task->attempt()->status().seq, c.success ? 3u : 0u);
    }
}

// A request cancelled before its first pass sends nothing and finishes
// cleanly; one cancelled between attempts still uses the rest.
TEST_F(RequestTest, CancelledRetriesStillUseTheirRemainingAttempts) {
    hyl_set_default(client_, HYL_ACCEPT, 503, nullptr, 2);
    auto* unstarted = Own(new TaskMatchmakingAcceptMatchRetries(
        manager_->heap(), system_, kTicket, kRequestMaxAttempts, kRequestRetryDelayMs));
    auto* task = Own(new TaskMatchmakingAcceptMatchRetries(
        manager_->heap(), system_, kTicket, kRequestMaxAttempts, kRequestRetryDelayMs));
    Finish& unstarted_finish = Queue(unstarted);
    Finish& finish = Queue(task);
    unstarted->Cancel();
    Pass(2);
    task->Cancel();
    RunToEnd(task);

    EXPECT_EQ(unstarted->state(), KRTaskSystem::CANCELLED);
    EXPECT_TRUE(unstarted_finish.success);
    EXPECT_EQ(unstarted_finish.code, 0);
    EXPECT_EQ(unstarted_finish.message, "");
    EXPECT_EQ(unstarted->attempt(), nullptr);
    EXPECT_EQ(unstarted->attempts(), 0);
    EXPECT_EQ(Sent(HYL_ACCEPT), 3u);
    EXPECT_EQ(task->state(), KRTaskSystem::CANCELLED);
    EXPECT_FALSE(finish.success);
    EXPECT_EQ(finish.code, 503);
}

// The shutdown drain advances requests pass after pass without the clock
// moving, so nothing may wait for it.
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

    for (int pass = 0; pass < 50 && !manager_->Shutdown(); ++pass) {
        manager_->Process();  // the clock stands still
    }
    EXPECT_TRUE(manager_->queue_empty()) << "the drain did not end";
    EXPECT_EQ(Sent(HYL_ACCEPT), 1u);
    EXPECT_EQ(Sent(HYL_CREATE_PROOF), 1u);
    EXPECT_EQ(accept->state(), KRTaskSystem::CANCELLED);
    EXPECT_EQ(proof->state(), KRTaskSystem::CANCELLED);
    for (const Finish* finish : {&accept_finish, &proof_finish}) {
        EXPECT_EQ(finish->calls, 1);
        EXPECT_FALSE(finish->success);
    }
    EXPECT_EQ(accept_finish.code, 503);
    EXPECT_EQ(proof_finish.code, 502);
}

using Make = std::function<Task*(KRTaskSystem::TaskHeap*, MatchmakingSystem*)>;

// Makes a T from the heap, the system and args.
template <typename T, typename... Args>
Make Maker(Args... args) {
    return [=](KRTaskSystem::TaskHeap* h, MatchmakingSystem* s) -> Task* {
        return new T(h, s, args...);
    };
}

// Every ticket-based request, single and retrying, refuses an empty ticket
// without calling the backend.
TEST_F(RequestTest, EmptyTicketFinishesWithMinusOneAndSendsNothing) {
    const Make makes[] = {
        Maker<TaskMatchmakingKeepAlive>(""),
        Maker<TaskMatchmakingAcceptMatch>(nullptr),
        Maker<TaskMatchmakingDeclineMatch>("", false),
        Maker<TaskMatchmakingStartMatch>("", "{}"),
        Maker<TaskMatchmakingCreateProof>(""),
        Maker<TaskMatchmakingAcceptMatchRetries>("", 3, 1000u),
    };
    size_t index = 0;
    for (const Make& make : makes) {
        SCOPED_TRACE(index++);
        const Finish& finish = Run(make(manager_->heap(), system_));
        EXPECT_EQ(hyl_journal_count(client_), 0u);
        EXPECT_FALSE(finish.success);
        EXPECT_EQ(finish.code, -1);
        EXPECT_EQ(finish.message, "");
        EXPECT_EQ(CountLog("No ticket specified, cannot send request"), index);
    }
}

// Each retrying form sends its own request, with its own arguments and no
// other, on every attempt.
TEST_F(RequestTest, EveryRetryAttemptCarriesTheArguments) {
    const struct {
        const char* name;
        hyl_kind kind;
        Make make;
        const char* ticket;
        const char* object_id;
        const char* join_info;
        int soft;
    } cases[] = {
        {"TaskMatchmakingAcceptMatch", HYL_ACCEPT,
         Maker<TaskMatchmakingAcceptMatchRetries>(kTicket, 3, 1000u), kTicket, "", "", 0},
        {"TaskMatchmakingDeclineMatch", HYL_CANCEL,
         Maker<TaskMatchmakingDeclineMatchRetries>(kTicket, 3, 1000u, true), kTicket, "", "", 1},
        {"TaskMatchmakingStartMatch", HYL_START,
         Maker<TaskMatchmakingStartMatchRetries>(kTicket, 3, 1000u, "{\"port\":7}"), kTicket, "",
         "{\"port\":7}", 0},
        {"TaskMatchmakingCreateProof", HYL_CREATE_PROOF,
         Maker<TaskMatchmakingCreateProofRetries>(kTicket, 3, 1000u), kTicket, "", "", 0},
        {"TaskMatchmakingRequestHopperInfo", HYL_GET_OBJECT,
         Maker<TaskMatchmakingRequestHopperInfoRetries>(kHopper, 3, 1000u), "", kHopper, "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        hyl_journal_clear(client_);
        hyl_script(client_, c.kind, 500, nullptr, 0);
        hyl_script(client_, c.kind, 502, "{\"attempt\":2}", 1);
        hyl_set_default(client_, c.kind, 503, "{\"attempt\":3}", 0);
        // The last answer is the verdict.
        const Finish& finish = Run(c.make(manager_->heap(), system_));
        EXPECT_FALSE(finish.success);
        EXPECT_EQ(finish.code, 503);
        EXPECT_EQ(finish.message, "{\"attempt\":3}");
        ASSERT_EQ(hyl_journal_count(client_), 3u);
        for (uint32_t i = 0; i < 3; ++i) {
            EXPECT_EQ(Journal(i).kind, c.kind);
            EXPECT_STREQ(Journal(i).ticket, c.ticket);
            EXPECT_STREQ(Journal(i).object_id, c.object_id);
            EXPECT_STREQ(Journal(i).join_info_json, c.join_info);
            EXPECT_EQ(Journal(i).soft, c.soft);
        }
        EXPECT_EQ(CountLog(std::string(c.name) + "Retries] Finished in"), 1u);
    }
}

}  // namespace
}  // namespace requests_test
