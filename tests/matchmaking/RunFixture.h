#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "KRMatchmakingSystem.h"
#include "StatusJson.h"
#include "halyard.h"
#include "support/MatchmakerTestSupport.h"
#include "tasksystem/TaskManager.h"

namespace krmm_test {

// The calls a game makes into its matchmaker, for tests that pick them from a
// table or at random.
enum Command {
    kStartMatchmaking,
    kStop,
    kAccept,
    kDecline,
    kStartMatch,
    kProof,
    kHopperInfo,
    kRestart,
    kCleanup,
    kFree,
    kProcess
};
// Makes the call: matchmaking starts in HopperId() with attributes, a match
// with join_info. Returns what the calls with a verdict return, else 0.
int32_t Issue(krmm_matchmaker* mm, Command command, const char* join_info = "{}");

// Whole matchmaking runs against the loopback backend: script answers, drive
// passes with the test clock, read back messages, lines and the journal. The
// matchmaker is created with every log flag.
class MatchmakerRunTest : public MatchmakerTest {
protected:
    void SetUp() override {
        MatchmakerTest::SetUp();
        CreateMatchmaker();
    }
    // The matchable of StartWithTicket's first keep-alive (sequence 1).
    static std::string Matchable() { return TestId(900); }
    std::string OwnId() const { return hy_client_get_identity_id(client_); }
    KRMatchmakingSystem::MatchmakingSystem* sys() const { return Sys(mm_); }
    int32_t State() const { return StateOf(mm_); }

    bool Start() { return Issue(mm_, kStartMatchmaking) == 1; }
    void Script(hyl_kind kind, int32_t status, const std::string& body, uint32_t polls = 0) {
        ASSERT_EQ(hyl_script(client_, kind, status, body.empty() ? nullptr : body.c_str(), polls),
                  0);
    }
    void Default(hyl_kind kind, int32_t status, const std::string& body, uint32_t polls = 0) {
        ASSERT_EQ(
            hyl_set_default(client_, kind, status, body.empty() ? nullptr : body.c_str(), polls),
            0);
    }
    void Push(const StatusJson& status) {
        ASSERT_EQ(hyl_push_message(client_, "c", "matchmaking_update", status.Text().c_str()), 0);
    }
    // Starts matchmaking and passes until the ticket has arrived. The first
    // keep-alive (Matchable(), sequence 1, initial waiting) stays pending for
    // keep_alive_polls polls, so a test can push statuses first.
    void StartWithTicket(uint32_t keep_alive_polls = 40);
    // Passes (10 ms apart) until the state is want; fails the test if not.
    void ExpectReaches(int32_t want, int max_passes = 3000);
    // Advances the clock to `at` ms after `since` (matchmaker time), one pass
    // every 10 ms.
    void PumpTo(uint32_t since, uint32_t at);
    uint32_t Now() const { return Sys(mm_)->Now(); }
    uint32_t Sent(hyl_kind kind) const { return hyl_journal_count_kind(client_, kind); }
    // The last journal entry of a kind, or null.
    const hyl_request* LastSent(hyl_kind kind) const;
    std::vector<int32_t> Errors() const { return rec_.Values("error"); }
};

}  // namespace krmm_test
