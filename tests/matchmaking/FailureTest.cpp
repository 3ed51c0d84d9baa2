// Requests that fail, error recovery, and the phase timeouts.
#include <string>
#include <vector>

#include "RunFixture.h"

namespace krmm_test {
namespace {

using KRMatchmakingSystem::MatchmakingSystem;

class FailureTest : public MatchmakerRunTest {
protected:
    // In MMS_MATCHING on Matchable() at sequence 2; the continuous heartbeat
    // sends its next keep-alive only after interval_ms.
    void ReachMatching(uint32_t interval_ms = 17000) {
        krmm_set_heartbeat_interval(mm_, interval_ms);
        // Later keep-alives repeat sequence 2 and so change nothing.
        Default(HYL_KEEPALIVE, 200, StatusJson(Matchable(), 2, "matching").Text());
        ASSERT_TRUE(Start());
        ExpectReaches(MMS_MATCHING, 20);
    }
    // In MMS_MATCHED (Matchable(), sequence 3) with the accept window open.
    void ReachMatched() {
        ReachMatching(1000000);
        Push(StatusJson(Matchable(), 3, "matched").MatchId(TestId(77)).Team({TestId(5)}));
        ASSERT_EQ(State(), MMS_MATCHED);
    }
    // All have accepted (sequence 4); leader or follower by the team order.
    void ReachAccepted(bool leader) {
        ReachMatched();
        Script(HYL_ACCEPT, 200,
               StatusJson(Matchable(), 4, "accepted")
                   .MatchId(TestId(77))
                   .Team({leader ? OwnId() : TestId(5)})
                   .Text());
        krmm_accept_match(mm_);
        ExpectReaches(leader ? MMS_ACCEPTED_LEADER : MMS_ACCEPTED_FOLLOWER, 10);
    }
};

// Boundary pairs of the ticket codes; two of them run a whole failed attempt.
TEST_F(FailureTest, FailedTicketRaisesItsErrorAndReturnsToIdle) {
    const struct {
        int32_t code;
        int32_t error;
        bool run;
    } cases[] = {{404, MME_HOPPER_DOES_NOT_EXIST, false},
                 {400, MME_REQUEST_TICKET_USER_PARAMS_INCORRECT, false},
                 {499, MME_REQUEST_TICKET_USER_PARAMS_INCORRECT, false},
                 {500, MME_REQUEST_TICKET_SERVER_ERROR, false},
                 {599, MME_REQUEST_TICKET_SERVER_ERROR, true},
                 {0, MME_REQUEST_TICKET_FAILED, false},
                 {399, MME_REQUEST_TICKET_FAILED, false},
                 {600, MME_REQUEST_TICKET_FAILED, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(MatchmakingSystem::TicketErrorForCode(c.code), c.error);
        if (!c.run) {
            continue;
        }
        rec_.Clear();
        Script(HYL_TICKET, c.code, "{\"error\":\"no\"}");
        ASSERT_TRUE(Start());
        ExpectReaches(MMS_IDLE, 10);
        EXPECT_EQ(Errors(), std::vector<int32_t>{c.error});
        EXPECT_EQ(rec_.States(),
                  (std::vector<int32_t>{MMS_REQUEST_TICKET, MMS_RESTART, MMS_INIT, MMS_IDLE}));
        EXPECT_TRUE(rec_.HasLine("Retrying matchmaking ticket request..."));
        // The response body reaches the game with the error.
        EXPECT_STREQ(sys()->last_error_message().c_str(), "{\"error\":\"no\"}");
    }
    // The ticket request is made once per attempt, never retried.
    EXPECT_EQ(Sent(HYL_TICKET), 2u);
    EXPECT_EQ(Sent(HYL_KEEPALIVE), 0u);
}

TEST_F(FailureTest, HeartbeatTimeoutRecoveryRetriesAtOneThreeSixSecondsThenGivesUp) {
    ReachMatching();
    // The next keep-alive fails transiently; the recovery heartbeats that
    // follow are never answered in time.
    Script(HYL_KEEPALIVE, 504, "{\"busy\":1}");
    Default(HYL_KEEPALIVE, 200, StatusJson(Matchable(), 3, "matching").Text(), 1500);
    const uint32_t before = Sent(HYL_KEEPALIVE);
    while (!rec_.HasLine("Trying to recover from error 'MME_KEEPALIVE_REQUEST_FAILED'")) {
        ASSERT_LT(Now(), 40000u);
        Pump(1, 10);
    }
    const uint32_t failed_at = Now();
    EXPECT_EQ(State(), MMS_MATCHING);
    EXPECT_TRUE(Errors().empty());

    std::vector<uint32_t> retry_times;
    uint32_t sent = Sent(HYL_KEEPALIVE);
    while (State() == MMS_MATCHING) {
        ASSERT_LT(Now() - failed_at, 11000u);
        Pump(1, 10);
        if (Sent(HYL_KEEPALIVE) != sent) {
            sent = Sent(HYL_KEEPALIVE);
            retry_times.push_back(Now() - failed_at);
        }
    }
    // A single heartbeat is queued by one pass (10 ms steps) and sent by the
    // next; the give-up comes 10 s after the failure.
    EXPECT_EQ(retry_times, (std::vector<uint32_t>{1020, 3020, 6020}));
    EXPECT_EQ(Now() - failed_at, 10000u);
    EXPECT_EQ(State(), MMS_RESTART);
    EXPECT_EQ(rec_.CountLines("Panicking with error 'MME_KEEPALIVE_REQUEST_FAILED'! Could not "
                              "recover in 10.0 seconds. Restarting matchmaking..."),
              1u);
    EXPECT_EQ(Errors(), std::vector<int32_t>{MME_KEEPALIVE_REQUEST_FAILED});
    EXPECT_STREQ(sys()->last_error_message().c_str(), "{\"busy\":1}");
    EXPECT_EQ(before + 4, sent);

    // The restart waits for the unanswered heartbeats, then completes
    // without further errors; the first inactive pass ends the recovery.
    ExpectReaches(MMS_IDLE, 3000);
    EXPECT_EQ(Errors(), std::vector<int32_t>{MME_KEEPALIVE_REQUEST_FAILED});
    EXPECT_EQ(rec_.CountLines("Recovered from error 'MME_KEEPALIVE_REQUEST_FAILED'!"), 1u);
    EXPECT_EQ(sys()->recovery_error_code, 0);
}

// A failing keep-alive: 400 and 504 are ridden out by the recovery, which a
// working heartbeat ends (once); anything else ends the attempt at once. The
// recovery's own retry (a single heartbeat, 1 s later) ends the same way: a
// transient failure starts the recovery over, a hard one ends the attempt
// twice over.
TEST_F(FailureTest, HeartbeatFailureRecoversOrEndsTheAttemptByItsCode) {
    const struct {
        int32_t code;                 // the failing answer
        int32_t then;                 // every later answer
        std::vector<int32_t> errors;  // none: still matching 40 s later, else idle
        size_t tries;                 // "Trying to recover" lines (unless failing on)
    } cases[] = {
        {400, 200, {}, 1},
        {504, 504, {}, 0},
        {500, 200, {MME_KEEPALIVE_REQUEST_FAILED}, 0},
        {504, 500, {MME_KEEPALIVE_REQUEST_FAILED, MME_INITIAL_KEEPALIVE_REQUEST_FAILED}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.code) + " then " + std::to_string(c.then));
        rec_.Clear();
        ReachMatching(2000);
        Script(HYL_KEEPALIVE, c.code, "{\"oops\":1}");
        Default(HYL_KEEPALIVE, c.then,
                c.then == 200 ? StatusJson(Matchable(), 3, "matching").Text() : "{\"oops\":1}");
        PumpTo(Now(), 40000);
        EXPECT_EQ(State(), c.errors.empty() ? MMS_MATCHING : MMS_IDLE);
        EXPECT_EQ(Errors(), c.errors);
        EXPECT_FALSE(rec_.HasLine("Panicking"));
        // Failing on, the recovery starts over at every retry.
        const size_t tries = rec_.CountLines("Trying to recover from error");
        EXPECT_TRUE(c.then == 504 ? tries > 10 : tries == c.tries) << tries;
        if (c.errors.empty()) {
            EXPECT_EQ(rec_.CountLines("Recovered from error 'MME_KEEPALIVE_REQUEST_FAILED'!"),
                      c.then == 200 ? 1u : 0u);
            EXPECT_EQ(sys()->recovery_error_code == 0, c.then == 200);
        } else {
            EXPECT_STREQ(sys()->last_error_message().c_str(), "{\"oops\":1}");
        }
        DrainToIdle();
    }
}

// The accept and start windows, each at its exact time. Where others are
// awaited a final heartbeat 5 s past the window asks once more, and the
// timeout comes 5 s after it; matchmaking then goes on with a decline. The
// player's own accept window restarts without one.
TEST_F(FailureTest, PhaseTimeoutsFireAtTheirDeadlines) {
    const struct {
        int32_t phase;
        uint32_t final_at;  // the final heartbeat, 0: none
        uint32_t fires_at;
        int32_t error;
        const char* line;
    } cases[] = {
        {MMS_MATCHED, 0, 20000, MME_TIMEOUT_WAITING_FOR_LOCAL_ACCEPT,
         "=== Decline match (Continue Matchmaking: 'false')... ==="},
        {MMS_ACCEPT_MATCH, 25000, 30000, MME_TIMEOUT_WAITING_FOR_OTHER_ACCEPT,
         "continue matchmaking (current state 'MMS_ACCEPT_MATCH' Accept timeout: 30.0)..."},
        {MMS_ACCEPTED_LEADER, 0, 20000, MME_TIMEOUT_LEADER_FINDING_SERVER,
         "(current state 'MMS_ACCEPTED_LEADER' Start timeout: 20.0)..."},
        {MMS_ACCEPTED_FOLLOWER, 25000, 30000, MME_TIMEOUT_FOLLOWER_WAIT_FOR_JOIN_INFO,
         "(current state 'MMS_ACCEPTED_FOLLOWER' Start timeout: 30.0)..."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(krmm_matchmaking_state_to_str(c.phase));
        rec_.Clear();
        hyl_journal_clear(client_);
        const bool accepted = c.phase == MMS_ACCEPTED_LEADER || c.phase == MMS_ACCEPTED_FOLLOWER;
        accepted ? ReachAccepted(c.phase == MMS_ACCEPTED_LEADER) : ReachMatched();
        // Every later answer repeats the current sequence.
        Default(HYL_KEEPALIVE, 200, StatusJson(Matchable(), accepted ? 4 : 3, "matched").Text());
        Script(HYL_CANCEL, 200, StatusJson(Matchable(), 5, "matching").Text());
        if (c.phase == MMS_ACCEPT_MATCH) {
            Script(HYL_ACCEPT, 200, StatusJson(Matchable(), 3, "matched").Text());
            krmm_accept_match(mm_);
        }
        const uint32_t since = Now();
        const uint32_t keep_alives = Sent(HYL_KEEPALIVE);
        if (c.final_at != 0) {
            PumpTo(since, c.final_at - 10);
            EXPECT_EQ(Sent(HYL_KEEPALIVE), keep_alives);
        }
        PumpTo(since, c.fires_at - 10);
        EXPECT_EQ(Sent(HYL_KEEPALIVE), keep_alives + (c.final_at != 0 ? 1 : 0));
        EXPECT_EQ(rec_.CountLines("Sending final heartbeat"), c.final_at != 0 ? 1u : 0u);
        EXPECT_TRUE(Errors().empty());
        if (c.phase == MMS_MATCHED) {
            // Too late for the player: refused before the check of the pass.
            AdvanceClock(10);
            krmm_accept_match(mm_);
            EXPECT_TRUE(rec_.HasLine("=== Cannot accept match - we timed out! (MMS_MATCHED) ==="));
        }
        Pump(1, c.phase == MMS_MATCHED ? 0 : 10);
        EXPECT_EQ(Errors(), std::vector<int32_t>{c.error});
        EXPECT_TRUE(rec_.HasLine(c.line));
        if (c.phase == MMS_MATCHED) {
            EXPECT_EQ(State(), MMS_RESTART);
            ExpectReaches(MMS_IDLE, 100);
            EXPECT_EQ(Sent(HYL_ACCEPT) + Sent(HYL_CANCEL), 0u);
            continue;
        }
        // Matchmaking goes on: the backend's answer to the decline moves us,
        // and the spent deadline fires no second time.
        EXPECT_EQ(State(), c.phase);
        ExpectReaches(MMS_MATCHING, 100);
        ASSERT_EQ(Sent(HYL_CANCEL), 1u);
        EXPECT_EQ(LastSent(HYL_CANCEL)->soft, 0);
        Pump(3000, 10);
        EXPECT_EQ(Errors().size(), 1u);
        DrainToIdle();
    }
}

TEST_F(FailureTest, FinalHeartbeatThatFindsEveryoneAcceptedPreventsTheTimeout) {
    ReachMatched();
    const uint32_t matched_at = Now();
    Script(HYL_ACCEPT, 200, StatusJson(Matchable(), 3, "matched").Text());
    krmm_accept_match(mm_);
    // Only the final heartbeat, 25 s after the match was found, learns that
    // everyone has accepted.
    Script(HYL_KEEPALIVE, 200,
           StatusJson(Matchable(), 4, "accepted").MatchId(TestId(77)).Team({TestId(5)}).Text());
    PumpTo(matched_at, 24990);
    ASSERT_EQ(State(), MMS_ACCEPT_MATCH);
    PumpTo(matched_at, 25100);
    ASSERT_EQ(State(), MMS_ACCEPTED_FOLLOWER);
    EXPECT_EQ(sys()->accept_deadline, 0u);
    // The start window opens when the answer arrives.
    EXPECT_GE(sys()->start_deadline, matched_at + 45000);
    EXPECT_LE(sys()->start_deadline, Now() + 20000);
    PumpTo(matched_at, 32000);
    EXPECT_TRUE(Errors().empty());
    EXPECT_EQ(Sent(HYL_CANCEL), 0u);
    EXPECT_EQ(State(), MMS_ACCEPTED_FOLLOWER);
}

// Accept, start and proof requests that fail for good restart; 400 and 504
// are ridden out by the error recovery instead.
TEST_F(FailureTest, FailedRequestsRecoverOrRestartByTheirCode) {
    const struct {
        hyl_kind kind;
        Command command;  // the call that makes the request
        int32_t code;
        uint32_t sent;  // attempts made
        int32_t error;
        bool recovers;
    } cases[] = {
        {HYL_ACCEPT, kAccept, 400, 1, MME_INITIAL_ACCEPT_MATCH_REQUEST_FAILED, true},
        {HYL_ACCEPT, kAccept, 409, 1, MME_INITIAL_ACCEPT_MATCH_REQUEST_FAILED, false},
        {HYL_START, kStartMatch, 504, 3, MME_INITIAL_START_MATCH_REQUEST_FAILED, true},
        {HYL_START, kStartMatch, 409, 1, MME_INITIAL_START_MATCH_REQUEST_FAILED, false},
        {HYL_CREATE_PROOF, kProof, 500, 3, MME_CREATE_PROOF_FAILED, false},
        {HYL_CREATE_PROOF, kProof, 504, 3, MME_CREATE_PROOF_FAILED, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.kind) + " " + std::to_string(c.code));
        rec_.Clear();
        c.kind == HYL_ACCEPT ? ReachMatched() : ReachAccepted(true);
        hyl_journal_clear(client_);
        hyl_set_default(client_, c.kind, c.code, "{\"no\":1}", 0);
        ASSERT_EQ(Issue(mm_, c.command), c.command == kProof ? 1 : 0);
        const int32_t state = State();
        rec_.Clear();
        // Retries come 1 s apart.
        PumpTo(Now(), 2500);
        EXPECT_EQ(Sent(c.kind), c.sent);
        EXPECT_TRUE(rec_.HasLine("completed with code " + std::to_string(c.code)));
        if (c.recovers) {
            EXPECT_TRUE(Errors().empty());
            EXPECT_EQ(State(), state);
            EXPECT_TRUE(rec_.HasLine(std::string("Trying to recover from error '") +
                                     krmm_error_code_to_str(c.error) + "'"));
        } else {
            EXPECT_EQ(Errors(), std::vector<int32_t>{c.error});
            ASSERT_FALSE(rec_.States().empty());
            EXPECT_EQ(rec_.States().front(), MMS_RESTART);
            EXPECT_STREQ(sys()->last_error_message().c_str(), "{\"no\":1}");
        }
        hyl_set_default(client_, c.kind, 404, nullptr, 0);
        DrainToIdle();
        ASSERT_EQ(State(), MMS_IDLE);
    }
}

TEST_F(FailureTest, MatchmakingTimeoutStopsTheAttemptWithADecline) {
    krmm_set_matchmaking_timeout(mm_, 60000);
    ReachMatching();
    PumpTo(0, 59000);
    EXPECT_EQ(State(), MMS_MATCHING);
    ExpectReaches(MMS_RESTART, 200);
    EXPECT_EQ(Errors(), std::vector<int32_t>{MME_TIMEOUT_FINDING_MATCH});
    EXPECT_TRUE(
        rec_.HasLine("Timed out while in matchmaking state 'MMS_MATCHING' (60 second "
                     "timeout) - restarting"));
    ExpectReaches(MMS_IDLE, 100);
    EXPECT_EQ(Sent(HYL_CANCEL), 1u);
}

// Zero switches a timeout off: past the longest default nothing fires.
TEST_F(FailureTest, ZeroTimeoutsNeverExpire) {
    krmm_set_matchmaking_timeout(mm_, 0);
    krmm_set_accept_timeout(mm_, 0);
    ReachMatched();
    EXPECT_EQ(sys()->matchmaking_deadline + sys()->accept_deadline, 0u);
    EXPECT_TRUE(rec_.HasLine("All players have 0.0 seconds to accept the match..."));
    Pump(200, 60000);
    EXPECT_EQ(State(), MMS_MATCHED);
    EXPECT_TRUE(Errors().empty());
}

// Stop and decline from every state that allows them: the attempt ends, and
// the backend hears of it whenever there is a ticket to give up.
TEST_F(FailureTest, StopAndDeclineEndTheAttemptInEveryActiveState) {
    for (const int32_t state :
         {MMS_REQUEST_TICKET, MMS_INITIAL_KEEPALIVE, MMS_MATCHING, MMS_MATCHED, MMS_ACCEPT_MATCH,
          MMS_ACCEPTED_LEADER, MMS_ACCEPTED_FOLLOWER, MMS_MATCH_STARTED_WAIT}) {
        for (const Command command : {kStop, kDecline}) {
            SCOPED_TRACE(std::string(krmm_matchmaking_state_to_str(state)) +
                         (command == kDecline ? " decline" : " stop"));
            hyl_journal_clear(client_);
            rec_.Clear();
            ASSERT_TRUE(Start());
            if (state != MMS_REQUEST_TICKET) {
                Script(HYL_KEEPALIVE, 200, "", 50);
                ExpectReaches(MMS_INITIAL_KEEPALIVE, 10);
                sys()->SetState(state);
            }
            const bool has_ticket = !sys()->ticket().empty();
            // The stop reports that it was made.
            EXPECT_EQ(Issue(mm_, command), command == kStop ? 1 : 0);
            if (command == kDecline) {
                EXPECT_TRUE(
                    rec_.HasLine("=== Decline match (Continue Matchmaking: 'false')... ==="));
            }
            EXPECT_EQ(State(), MMS_RESTART);
            ExpectReaches(MMS_IDLE, 200);
            // The ticket request cancelled under the attempt fails it, unread.
            EXPECT_EQ(Errors(), state == MMS_REQUEST_TICKET
                                    ? std::vector<int32_t>{MME_REQUEST_TICKET_FAILED}
                                    : std::vector<int32_t>{});
            // A ticket held is given up.
            EXPECT_EQ(Sent(HYL_CANCEL), has_ticket ? 1u : 0u);
            if (Sent(HYL_CANCEL) == 1u) {
                EXPECT_EQ(LastSent(HYL_CANCEL)->soft, 0);
            }
        }
    }
}

}  // namespace
}  // namespace krmm_test
