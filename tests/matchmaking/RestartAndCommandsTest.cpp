// Restarts with work still queued, the task heap rule, and the commands that
// stand beside the main road: proof, hopper info, refused commands.
#include <new>
#include <string>
#include <vector>

#include "RunFixture.h"
#include "tasksystem/TaskHeap.h"

namespace krmm_test {
namespace {

class RestartAndCommandsTest : public MatchmakerRunTest {
protected:
    // Raises the task heap's peak usage to `bytes` and gives them back: the
    // manager's own bookkeeping keeps the heap from resetting, so the peak
    // stays.
    void RaiseHeapPeak(size_t bytes) {
        KRTaskSystem::TaskHeap* heap = sys()->task_manager()->heap();
        void* block = heap->Alloc(bytes - heap->used());
        ASSERT_NE(block, nullptr);
        heap->Free(block);
    }
};

// The game gives up an attempt while its ticket request is out. An answer
// read before the cancel is taken up whatever the state; a cancelled request
// fails the attempt without its answer being read, and nothing is declined.
TEST_F(RestartAndCommandsTest, TicketAnswerAfterTheGameMovedOn) {
    const struct {
        const char* label;
        bool restart;    // krmm_restart instead of krmm_stop_matchmaking
        uint32_t polls;  // polls before the answer
        bool taken;      // the ticket is taken up
    } cases[] = {{"restart while waiting", true, 5, false},
                 {"stop, answer read on the next pass", false, 0, true},
                 {"stop, answer after the cancel", false, 3, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        rec_.Clear();
        hyl_journal_clear(client_);
        Script(HYL_TICKET, 200, "{\"ticket\":\"late\"}", c.polls);
        Default(HYL_KEEPALIVE, 200, "", 1000);
        ASSERT_TRUE(Start());
        Pump(1, 10);
        ASSERT_EQ(Sent(HYL_TICKET), 1u);
        c.restart ? krmm_restart(mm_) : (void)krmm_stop_matchmaking(mm_);
        Pump(1, 10);
        EXPECT_FALSE(rec_.HasLine("Ignoring matchmaking ticket"));
        if (c.taken) {
            EXPECT_EQ(rec_.States(), (std::vector<int32_t>{MMS_REQUEST_TICKET, MMS_RESTART,
                                                           MMS_INITIAL_KEEPALIVE}));
            EXPECT_STREQ(sys()->ticket().c_str(), "late");
            Pump(2, 10);
            EXPECT_STREQ(LastSent(HYL_KEEPALIVE)->ticket, "late");
            EXPECT_TRUE(Errors().empty());
        } else {
            ExpectReaches(MMS_IDLE, 50);
            EXPECT_EQ(Errors(), std::vector<int32_t>{MME_REQUEST_TICKET_FAILED});
            EXPECT_TRUE(rec_.HasLine("Retrying matchmaking ticket request..."));
            EXPECT_EQ(Sent(HYL_KEEPALIVE), 0u);
        }
        DrainToIdle();
        // Only a ticket taken up is declined, by the stop that ends it.
        EXPECT_EQ(Sent(HYL_CANCEL), c.taken ? 1u : 0u);
    }
}

TEST_F(RestartAndCommandsTest, HighHeapUsageReplacesTheIdleTaskManager) {
    const struct {
        size_t bytes;
        bool replaced;
    } cases[] = {{183500, false},  // just under 70 %
                 {186122, true}};  // 71 %
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        rec_.Clear();
        RaiseHeapPeak(c.bytes);
        Pump(1, 10);
        EXPECT_EQ(rec_.HasLine("High task manager heap usage - Restarting task manager..."),
                  c.replaced);
        // A replacement is made after the pass, so it has made none yet.
        EXPECT_EQ(sys()->task_manager()->pass_count() == 0, c.replaced);
        EXPECT_LT(sys()->task_manager()->peak_usage(), c.replaced ? 0.01f : 1.0f);
    }
}

TEST_F(RestartAndCommandsTest, HighHeapUsageCyclesTheHeartbeatToReplaceTheManager) {
    krmm_set_heartbeat_interval(mm_, 1000);
    Default(HYL_KEEPALIVE, 200, StatusJson(Matchable(), 2, "matching").Text());
    ASSERT_TRUE(Start());
    ExpectReaches(MMS_MATCHING, 20);
    RaiseHeapPeak(200000);
    // The next keep-alive answer cancels the heartbeat; once the queue has
    // drained the manager is replaced and a new heartbeat started.
    while (!rec_.HasLine("High task manager heap usage - Restarting task manager...")) {
        ASSERT_LT(Now(), 10000u);
        Pump(1, 10);
    }
    EXPECT_TRUE(
        rec_.HasLine("High task manager heap usage - restarting heartbeat to allow task "
                     "manager to restart..."));
    EXPECT_NE(sys()->heartbeat_task(), nullptr);
    EXPECT_EQ(State(), MMS_MATCHING);
    const uint32_t sent = Sent(HYL_KEEPALIVE);
    Pump(150, 10);
    EXPECT_GT(Sent(HYL_KEEPALIVE), sent);
    // Started again once, and kept since.
    EXPECT_EQ(rec_.CountLines("CheckHasHeartbeat: Starting heartbeat again..."), 1u);
    EXPECT_EQ(State(), MMS_MATCHING);
    EXPECT_TRUE(Errors().empty());
}

// The heartbeat a pass finds missing is started again past the ticket
// request only (HighHeapUsageCyclesTheHeartbeatToReplaceTheManager sees it
// started again once a cancelled one has finished).
TEST_F(RestartAndCommandsTest, MissingHeartbeatIsNotStartedWhileTheTicketIsRequested) {
    Script(HYL_TICKET, 200, "{\"ticket\":\"t\"}", 50);
    ASSERT_TRUE(Start());
    Pump(5, 10);
    EXPECT_FALSE(rec_.HasLine("CheckHasHeartbeat"));
    EXPECT_EQ(sys()->heartbeat_task(), nullptr);
}

TEST_F(RestartAndCommandsTest, ProofMessagesCarryProofAndExpiryInOrder) {
    StartWithTicket();
    Push(StatusJson(Matchable(), 2, "matched"));
    const std::string body = "{\"proof\":\"P-1\",\"expires_at\":-42}";
    Script(HYL_CREATE_PROOF, 200, body);
    rec_.Clear();
    EXPECT_EQ(krmm_create_proof(mm_), 1);
    Pump(4, 10);
    // Nothing but the two proof messages.
    ASSERT_EQ(rec_.messages.size(), 2u);
    EXPECT_EQ(rec_.messages[0].name, "proof_p:P-1");
    EXPECT_EQ(rec_.messages[1].name, "proof_e:-42");
    for (const Message& m : rec_.messages) {
        EXPECT_EQ(m.value, 0);
        EXPECT_EQ(m.text, body);
    }
    EXPECT_EQ(State(), MMS_MATCHED);
    EXPECT_STREQ(LastSent(HYL_CREATE_PROOF)->ticket, sys()->ticket().c_str());
}

// Idle, without a ticket: the proof request goes out empty-handed, fails, and
// the matchmaker passes through a restart back to idle.
TEST_F(RestartAndCommandsTest, ProofWithoutATicketFails) {
    EXPECT_EQ(krmm_create_proof(mm_), 1);
    ExpectReaches(MMS_RESTART, 10);
    EXPECT_EQ(Errors(), std::vector<int32_t>{MME_CREATE_PROOF_FAILED});
    ExpectReaches(MMS_IDLE, 10);
    EXPECT_EQ(rec_.States(), (std::vector<int32_t>{MMS_RESTART, MMS_INIT, MMS_IDLE}));
    EXPECT_EQ(Sent(HYL_CREATE_PROOF), 0u);
}

// Commands in a state that does not allow them: a line, an error where the
// game must hear of it, no move and no request.
TEST_F(RestartAndCommandsTest, RefusedCommandsChangeNothing) {
    const struct {
        int32_t state;
        Command command;
        const char* line;
        int32_t error;  // 0: none
    } cases[] = {
        {MMS_IDLE, kStop,
         "=== No matchmaking active - stop matchmaking ignored ===", MME_NOT_MATCHMAKING},
        {MMS_IDLE, kDecline, "=== No match active - decline match ignored (MMS_IDLE) ===", 0},
        {MMS_MATCHING, kStartMatchmaking,
         "=== Already matchmaking - start matchmaking ignored (MMS_MATCHING) ===",
         MME_ALREADY_MATCHMAKING},
        {MMS_MATCHING, kAccept, "=== No match active - accept match ignored (MMS_MATCHING) ===", 0},
        {MMS_MATCHING, kStartMatch,
         "=== Not the match leader - start match ignored (MMS_MATCHING) ===", 0},
        {MMS_MATCHING, kProof, "Can't create proof unless in a match (MMS_MATCHING)",
         MME_NOT_IN_MATCH},
        {MMS_RESTART, kStop, "=== Initializing system - stop matchmaking ignored (MMS_RESTART) ===",
         MME_NOT_MATCHMAKING},
        {MMS_RESTART, kDecline,
         "=== Initializing system - decline match ignored (MMS_RESTART) ===", 0},
        {MMS_RESTART, kHopperInfo,
         "=== Cannot request hopper info if not initialized (MMS_RESTART) ===", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        if (State() != c.state && c.state == MMS_MATCHING) {
            StartWithTicket();
            Push(StatusJson(Matchable(), 2, "matching"));
        } else if (State() != c.state) {
            sys()->SetState(c.state);
        }
        rec_.Clear();
        EXPECT_EQ(Issue(mm_, c.command), 0);
        EXPECT_EQ(State(), c.state);
        EXPECT_TRUE(rec_.States().empty());
        EXPECT_TRUE(rec_.HasLine(c.line));
        EXPECT_EQ(Errors(), c.error != 0 ? std::vector<int32_t>{c.error} : std::vector<int32_t>{});
    }
    ExpectReaches(MMS_IDLE, 10);
    EXPECT_EQ(Sent(HYL_TICKET), 1u);
    EXPECT_EQ(Sent(HYL_ACCEPT) + Sent(HYL_START) + Sent(HYL_CREATE_PROOF) + Sent(HYL_GET_OBJECT),
              0u);
}

// A command whose request cannot be queued (here: the task heap is full)
// must not leave the matchmaker waiting for an answer that never comes.
TEST_F(RestartAndCommandsTest, CommandsWhoseRequestCannotBeQueued) {
    const struct {
        Command command;
        const char* hy_state;  // the attempt's state, in the backend's words
        int32_t from;          // the attempt ends from here; nothing starts from idle
        int32_t error;         // 0: none
        const char* line;
    } cases[] = {
        {kStartMatchmaking, nullptr, MMS_IDLE, 0,
         "Could not queue the matchmaking ticket request - start matchmaking failed"},
        {kAccept, "matched", MMS_MATCHED, MME_INITIAL_ACCEPT_MATCH_REQUEST_FAILED,
         "Could not queue the request (current state 'MMS_MATCHED') - restarting"},
        {kStartMatch, "accepted", MMS_ACCEPTED_LEADER, MME_INITIAL_START_MATCH_REQUEST_FAILED,
         "Could not queue the request (current state 'MMS_ACCEPTED_LEADER') - restarting"},
        {kStop, "matching", MMS_MATCHING, 0, "Could not queue the decline for ticket '"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        if (c.hy_state != nullptr) {
            // The first keep-alive is answered only after the command.
            StartWithTicket(5);
            Push(StatusJson(TestId(c.from), 2, c.hy_state).MatchId(TestId(7)).Team({OwnId()}));
            ASSERT_EQ(State(), c.from);
        }
        hyl_journal_clear(client_);
        rec_.Clear();
        KRTaskSystem::TaskHeap* heap = sys()->task_manager()->heap();
        void* rest = heap->Alloc(heap->capacity() - heap->used());
        ASSERT_NE(rest, nullptr);
        // Only the stop is still made, as far as the game is told.
        EXPECT_EQ(Issue(mm_, c.command), c.command == kStop ? 1 : 0);
        heap->Free(rest);
        EXPECT_EQ(State(), c.from == MMS_IDLE ? MMS_IDLE : MMS_RESTART);
        EXPECT_EQ(Errors(), c.error != 0 ? std::vector<int32_t>{c.error} : std::vector<int32_t>{});
        EXPECT_TRUE(rec_.HasLine(c.line));
        ExpectReaches(MMS_IDLE, 200);
        // Nothing but keep-alives reached the backend.
        EXPECT_EQ(hyl_journal_count(client_), Sent(HYL_KEEPALIVE));
    }
}

// Task managers that cannot be made for want of memory: reported once (ERR
// and "error"), the matchmaker keeps what it has and later passes try again;
// an allocation that throws stops at the C boundary.
TEST_F(RestartAndCommandsTest, NoMemoryForANewTaskManager) {
    int refusals = 0;  // -1: throw once
    sys()->SetTaskManagerSource(
        [](const char* name, uint32_t mask, void* user) -> KRTaskSystem::TaskManager* {
            int& left = *static_cast<int*>(user);
            if (left < 0 && ++left == 0) {
                throw std::bad_alloc();
            }
            return left > 0 && left-- > 0 ? nullptr : new KRTaskSystem::TaskManager(name, mask);
        },
        &refusals);
    // The restart after a stop waits in MMS_RESTART (it used to enter
    // MMS_INIT without a manager and stay there for good).
    StartWithTicket(5);
    refusals = 3;
    rec_.Clear();
    ASSERT_EQ(krmm_stop_matchmaking(mm_), 1);
    while (Errors().empty() && Now() < 5000) {
        Pump(1, 10);
    }
    EXPECT_EQ(State(), MMS_RESTART);
    EXPECT_EQ(rec_.messages.back().text, "out of memory");
    ExpectReaches(MMS_IDLE, 10);
    EXPECT_EQ(Errors(), std::vector<int32_t>{MME_NOT_MATCHMAKING});
    EXPECT_EQ(rec_.CountLines("Out of memory - no new task manager"), 1u);
    // Clean-up ends a shortage: no pass makes a manager before krmm_restart.
    refusals = 1;
    krmm_restart(mm_);
    krmm_cleanup(mm_);
    Pump(2, 10);
    EXPECT_EQ(sys()->task_manager(), nullptr);
    // A restart after clean-up that finds no memory is made by a later pass.
    refusals = 2;
    krmm_restart(mm_);
    Pump(2, 10);
    ASSERT_NE(sys()->task_manager(), nullptr);
    rec_.Attach(mm_);
    refusals = -1;
    const KRTaskSystem::TaskManager* kept = sys()->task_manager();
    krmm_restart(mm_);
    EXPECT_TRUE(rec_.HasLine("Out of memory - the call was abandoned"));
    EXPECT_EQ(sys()->task_manager(), kept);
}

TEST_F(RestartAndCommandsTest, HopperInfoIsKeptPerSuccessfulRequest) {
    const std::string hopper = TestId(42);
    const std::string body =
        "{\"_id\":\"" + hopper + "\",\"name\":\"duel\",\"players\":2,\"teams\":[0.5,0.5]}";
    Script(HYL_GET_OBJECT, 200, body);
    Script(HYL_GET_OBJECT, 200, body);
    krmm_request_hopper_info(mm_, hopper.c_str());
    Pump(3, 10);
    EXPECT_EQ(krmm_has_hopper_info(mm_, hopper.c_str()), 1);
    EXPECT_EQ(krmm_has_hopper_info(mm_, TestId(43).c_str()), 0);
    EXPECT_EQ(krmm_has_hopper_info(mm_, nullptr), 0);
    // A second answer adds a second record; a failed one adds none.
    krmm_request_hopper_info(mm_, hopper.c_str());
    Script(HYL_GET_OBJECT, 403, "");
    krmm_request_hopper_info(mm_, hopper.c_str());
    Pump(5, 10);
    EXPECT_EQ(std::distance(sys()->hopper_infos().begin(), sys()->hopper_infos().end()), 2);
    EXPECT_EQ(rec_.CountLines("Failed to get hopper info for hopper"), 1u);
}

}  // namespace
}  // namespace krmm_test
