// A game may call back into its matchmaker from any callback. Each case makes
// one call from the n-th log line, client-library line or message of a whole
// run (ticket, keep-alives, accept, start, restart), for every n: nothing may
// be touched after it was freed (the sanitizer build checks), a restart must
// clear the attempt at once, and the matchmaker must still come back to idle
// with nothing of the client library left alive.
#include <string>
#include <tuple>
#include <vector>

#include "RunFixture.h"

namespace krmm_test {
namespace {

enum Source { kLine, kClientLine, kMessage };
const char* const kSourceNames[] = {"Line", "ClientLine", "Message"};
// In the order of Command.
const char* const kCallNames[] = {"StartMatchmaking", "Stop",  "Accept",     "Decline",
                                  "StartMatch",       "Proof", "HopperInfo", "Restart",
                                  "Cleanup",          "Free",  "Process"};

class ReentryTest : public MatchmakerRunTest,
                    public ::testing::WithParamInterface<std::tuple<int, Source>> {
protected:
    // Every Command in turn.
    Command call() const { return static_cast<Command>(std::get<0>(GetParam())); }
    Source source() const { return std::get<1>(GetParam()); }

    // A whole run with the call made at event fire_at (-1: never); returns
    // the number of events of the source seen. Ends on a fresh client and
    // matchmaker for the next run.
    int RunWithCallAt(int fire_at);

    static void OnLog(krmm_matchmaker*, int32_t type, const char*, void* user_data);
    static void OnMsg(krmm_matchmaker*, const char*, int32_t, const char*, void* user_data);
    // One event of the source: makes the call when it is the chosen one.
    void Event();
    void MakeCall();
    // The game goes on after a clean-up from a callback with a restart.
    void GoOnAfterCleanup() {
        if (cleaned_up_) {
            cleaned_up_ = false;
            krmm_restart(mm_);
            rec_.Attach(mm_);
        }
    }

    int fire_at_ = -1;
    int seen_ = 0;
    bool client_line_armed_ = false;
    bool cleaned_up_ = false;
};

void ReentryTest::OnLog(krmm_matchmaker*, int32_t type, const char*, void* user_data) {
    auto* self = static_cast<ReentryTest*>(user_data);
    if (self->client_line_armed_ && type == KRMM_LOG_HYE) {
        self->client_line_armed_ = false;
        self->MakeCall();
    } else if (self->source() != kMessage && type != KRMM_LOG_HYE) {
        self->Event();
    }
}

void ReentryTest::OnMsg(krmm_matchmaker*, const char*, int32_t, const char*, void* user_data) {
    auto* self = static_cast<ReentryTest*>(user_data);
    if (self->source() == kMessage) {
        self->Event();
    }
}

void ReentryTest::Event() {
    if (fire_at_ < 0 || seen_++ != fire_at_) {
        return;
    }
    if (source() == kClientLine) {
        // The client library logs while the line that led to it is still
        // being delivered, as it does from inside a request.
        client_line_armed_ = true;
        hyl_push_log(client_, HY_LOG_ERROR, "hy", "nested");
        client_line_armed_ = false;
    } else {
        MakeCall();
    }
}

void ReentryTest::MakeCall() {
    krmm_matchmaker* mm = mm_;
    const int32_t state = State();
    const size_t lines = rec_.lines.size();
    const size_t messages = rec_.messages.size();
    Issue(mm, call(), "{\"server\":1}");
    if (call() == kFree) {
        mm_ = nullptr;
    } else if (call() == kRestart) {
        // At once, as far as the game can see; the state stays.
        EXPECT_EQ(State(), state);
        EXPECT_STREQ(krmm_get_match_info_matchable_id(mm), "");
        EXPECT_STREQ(krmm_get_match_info_match_id(mm), "");
        EXPECT_TRUE(sys()->ticket().empty());
        EXPECT_EQ(sys()->matchmaking_deadline + sys()->accept_deadline + sys()->start_deadline, 0u);
    } else if (call() == kProcess) {
        // No pass runs inside another call.
        EXPECT_EQ(rec_.lines.size(), lines);
        EXPECT_EQ(rec_.messages.size(), messages);
    } else if (call() == kCleanup) {
        cleaned_up_ = true;
        // Gone with the clean-up: the recorder, older than this callback,
        // hears nothing more, not even the rest of this line or message.
        krmm_set_flags(mm, 0xFFu);
        Sys(mm)->Log(KRMM_LOG_NFO, "after the clean-up");
        EXPECT_EQ(rec_.lines.size(), lines);
    }
}

int ReentryTest::RunWithCallAt(int fire_at) {
    // A run without a call counts the events: fire_at_ is past them all.
    fire_at_ = fire_at < 0 ? 1 << 30 : fire_at;
    seen_ = 0;
    krmm_set_flags(mm_, 0xFFu | MMF_AUTO_ACCEPT | MMF_AUTO_START);
    krmm_set_heartbeat_interval(mm_, 100);
    krmm_register_log_callback(mm_, &ReentryTest::OnLog, this);
    krmm_register_msg_callback(mm_, &ReentryTest::OnMsg, this);
    const std::string own = OwnId();
    auto match = [&](uint32_t seq, const char* state) {
        return StatusJson(Matchable(), seq, state).MatchId(TestId(7)).Team({own}).Text();
    };
    Script(HYL_KEEPALIVE, 200, StatusJson(Matchable(), 1, "initial_waiting").Text());
    Script(HYL_KEEPALIVE, 200, StatusJson(Matchable(), 2, "matching").HopperSize(4).Text());
    Default(HYL_KEEPALIVE, 200, match(3, "matched"));
    Script(HYL_ACCEPT, 200, match(4, "accepted"));
    Script(HYL_START, 200, match(5, "match_started"));
    Script(HYL_CREATE_PROOF, 200, "{\"proof\":\"p\",\"expires_at\":1}");

    Start();
    GoOnAfterCleanup();
    bool ended = false;
    for (int pass = 0; pass < 300 && mm_ != nullptr && !ended; ++pass) {
        if (pass == 3) {
            // Entries from the client library itself, between passes.
            hyl_push_log(client_, HY_LOG_WARNING, "hy", "between passes");
            Push(StatusJson(Matchable(), 2, "matching").HopperSize(5));
            GoOnAfterCleanup();
        }
        if (mm_ != nullptr) {
            Pump(1, 10);
            GoOnAfterCleanup();
        }
        ended = mm_ != nullptr && rec_.States().size() > 4 && krmm_is_idle(mm_);
    }
    // Winding down is the test's own business: no call comes from it.
    fire_at_ = -1;
    if (mm_ != nullptr) {
        krmm_stop_matchmaking(mm_);
    }
    for (int pass = 0; pass < 1000 && mm_ != nullptr &&
                       (krmm_process(mm_) || !sys()->task_manager()->queue_empty());
         ++pass) {
        AdvanceClock(10);
    }
    if (mm_ != nullptr) {
        EXPECT_EQ(State(), MMS_IDLE);
        EXPECT_TRUE(sys()->task_manager()->queue_empty());
        EXPECT_EQ(sys()->heartbeat_task(), nullptr);
        krmm_free_matchmaking(mm_);
        mm_ = nullptr;
    }
    // Each run on a fresh client, which must have nothing left alive.
    hy_client_free(client_);
    client_ = hy_client_create(nullptr);
    rec_.Clear();
    EXPECT_EQ(hyl_live_tasks(), base_tasks_);
    EXPECT_EQ(hyl_live_responses(), base_responses_);
    CreateMatchmaker();
    return seen_;
}

TEST_P(ReentryTest, CallFromEveryCallbackOfAWholeRun) {
    const int events = RunWithCallAt(-1);
    ASSERT_GT(events, source() == kMessage ? 10 : 50);
    for (int n = 0; n < events && !HasFatalFailure(); ++n) {
        SCOPED_TRACE("call made at event " + std::to_string(n));
        RunWithCallAt(n);
    }
}

INSTANTIATE_TEST_SUITE_P(Calls, ReentryTest,
                         ::testing::Combine(::testing::Range(0, kProcess + 1),
                                            ::testing::Values(kLine, kClientLine, kMessage)),
                         [](const ::testing::TestParamInfo<std::tuple<int, Source>>& info) {
                             return std::string(kCallNames[std::get<0>(info.param)]) + "From" +
                                    kSourceNames[std::get<1>(info.param)];
                         });

}  // namespace
}  // namespace krmm_test
