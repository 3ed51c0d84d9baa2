// Commands issued by the game from inside its message callbacks, which run
// in the middle of a task manager pass: the pass must survive them, and
// nothing they ask for may be lost.
#include <functional>
#include <string>
#include <vector>

#include "RunFixture.h"

namespace krmm_test {
namespace {

// Runs action whenever the matchmaker sends the message name with value.
struct Hook {
    std::string name;
    int32_t value;
    std::function<void()> action;
    int fired = 0;

    static void OnMsg(krmm_matchmaker*, const char* name, int32_t value, const char*,
                      void* user_data) {
        auto* self = static_cast<Hook*>(user_data);
        if (self->name == name && self->value == value) {
            ++self->fired;
            self->action();
        }
    }
};

class CommandsFromCallbacksTest : public MatchmakerRunTest {
protected:
    void SetUp() override {
        MatchmakerRunTest::SetUp();
        CreateMatchmaker();
    }
    void Install(Hook* hook) { krmm_register_msg_callback(mm_, &Hook::OnMsg, hook); }
    std::vector<std::string> ProofMessages() const {
        std::vector<std::string> names;
        for (const Message& m : rec_.messages) {
            if (m.name.rfind("proof_", 0) == 0) {
                names.push_back(m.name);
            }
        }
        return names;
    }
};

// The common "on error, start over" pattern, run while the failed ticket's
// finished callback is still on the task manager's stack. The manager must
// outlive its pass; the restart follows before krmm_process returns.
TEST_F(CommandsFromCallbacksTest, RestartOrCleanupFromAnErrorCallbackWaitsForThePass) {
    for (const bool cleanup : {false, true}) {
        SCOPED_TRACE(cleanup ? "cleanup" : "restart");
        if (cleanup) {
            // The previous round's matchmaker is done with; start afresh.
            krmm_free_matchmaking(mm_);
            rec_.Clear();
            CreateMatchmaker();
        }
        int32_t passes_seen_after_request = -1;
        Hook hook{"error", MME_REQUEST_TICKET_SERVER_ERROR, [&] {
                      cleanup ? krmm_cleanup(mm_) : krmm_restart(mm_);
                      // Still the manager whose pass is running.
                      passes_seen_after_request = sys()->task_manager() != nullptr
                                                      ? sys()->task_manager()->pass_count()
                                                      : -1;
                  }};
        Install(&hook);
        Script(HYL_TICKET, 503, "{\"down\":1}");
        ASSERT_TRUE(Start());
        Pump(1, 10);  // the request goes out
        ASSERT_EQ(hook.fired, 0);
        Pump(1, 10);  // its failure arrives inside the pass
        ASSERT_EQ(hook.fired, 1);
        EXPECT_GE(passes_seen_after_request, 2);
        EXPECT_TRUE(rec_.HasLine(std::string(cleanup ? "Clean-up" : "Restart") +
                                 " requested while the task manager is busy - done when its "
                                 "pass ends"));
        EXPECT_EQ(State(), MMS_RESTART);
        if (cleanup) {
            // Done within the same call: nothing runs until the game restarts.
            EXPECT_EQ(sys()->task_manager(), nullptr);
            krmm_restart(mm_);
            ASSERT_NE(sys()->task_manager(), nullptr);
        } else {
            // A fresh manager that has not run a pass yet.
            EXPECT_EQ(sys()->task_manager()->pass_count(), 0);
            EXPECT_EQ(Errors(), std::vector<int32_t>{MME_REQUEST_TICKET_SERVER_ERROR});
        }
        ExpectReaches(MMS_IDLE, 20);
        EXPECT_EQ(hook.fired, 1);
    }
}

// A stop issued while a keep-alive answer moves the matchmaker: its decline
// is queued during the pass and must still go out before it is cancelled.
TEST_F(CommandsFromCallbacksTest, StopFromAStateCallbackStillSendsTheDecline) {
    Hook hook{"state", MMS_INITIAL_WAITING, [&] { EXPECT_EQ(krmm_stop_matchmaking(mm_), 1); }};
    Install(&hook);
    StartWithTicket(2);
    const std::string ticket = sys()->ticket().c_str();
    ExpectReaches(MMS_RESTART, 10);
    ASSERT_EQ(hook.fired, 1);
    ExpectReaches(MMS_IDLE, 100);
    ASSERT_EQ(Sent(HYL_CANCEL), 1u);
    EXPECT_EQ(std::string(LastSent(HYL_CANCEL)->ticket), ticket);
    EXPECT_EQ(LastSent(HYL_CANCEL)->soft, 0);
    EXPECT_TRUE(Errors().empty());
}

// A proof request still open when the match starts is cancelled by the
// restart that follows; the game still hears how it ended.
TEST_F(CommandsFromCallbacksTest, ProofPendingWhenTheMatchStartsIsStillAnswered) {
    // Asked for on the "state" MMS_MATCH_STARTED message, when the ticket is
    // already given up: the request cannot be made and fails with error 13.
    Hook on_start{"state", MMS_MATCH_STARTED, [&] { EXPECT_EQ(krmm_create_proof(mm_), 1); }};
    Install(&on_start);
    StartWithTicket();
    Push(StatusJson(Matchable(), 2, "match_started").MatchId(TestId(7)));
    ASSERT_EQ(on_start.fired, 1);
    ExpectReaches(MMS_IDLE, 100);
    EXPECT_EQ(Errors(), std::vector<int32_t>{MME_CREATE_PROOF_FAILED});
    EXPECT_EQ(Sent(HYL_CREATE_PROOF), 0u);
    on_start.value = -1;

    // Asked for while matched, answered only after the match has started:
    // the proof reaches the game.
    rec_.Clear();
    StartWithTicket();
    Push(StatusJson(TestId(901), 2, "matched").MatchId(TestId(8)));
    Script(HYL_CREATE_PROOF, 200, "{\"proof\":\"P\",\"expires_at\":5}", 20);
    ASSERT_EQ(krmm_create_proof(mm_), 1);
    Pump(2, 10);
    ASSERT_EQ(Sent(HYL_CREATE_PROOF), 1u);
    Push(StatusJson(TestId(901), 3, "match_started").MatchId(TestId(8)));
    ExpectReaches(MMS_IDLE, 100);
    EXPECT_EQ(ProofMessages(), (std::vector<std::string>{"proof_p:P", "proof_e:5"}));
    EXPECT_TRUE(Errors().empty());
}

}  // namespace
}  // namespace krmm_test
