#include "RunFixture.h"

namespace krmm_test {

int32_t Issue(krmm_matchmaker* mm, Command command, const char* join_info) {
    switch (command) {
        case kStartMatchmaking:
            return krmm_start_matchmaking(mm, HopperId(), nullptr, nullptr, 0, "{\"a\":1}",
                                          nullptr);
        case kStop:
            return krmm_stop_matchmaking(mm);
        case kAccept:
            krmm_accept_match(mm);
            break;
        case kDecline:
            krmm_decline_match(mm);
            break;
        case kStartMatch:
            krmm_start_match(mm, join_info);
            break;
        case kProof:
            return krmm_create_proof(mm);
        case kHopperInfo:
            krmm_request_hopper_info(mm, TestId(42).c_str());
            break;
        case kRestart:
            krmm_restart(mm);
            break;
        case kCleanup:
            krmm_cleanup(mm);
            break;
        case kFree:
            krmm_free_matchmaking(mm);
            break;
        case kProcess:
            return krmm_process(mm);
    }
    return 0;
}

void MatchmakerRunTest::StartWithTicket(uint32_t keep_alive_polls) {
    Script(HYL_KEEPALIVE, 200, StatusJson(Matchable(), 1, "initial_waiting").Text(),
           keep_alive_polls);
    ASSERT_TRUE(Start());
    ExpectReaches(MMS_INITIAL_KEEPALIVE, 10);
    ASSERT_FALSE(sys()->ticket().empty());
}

void MatchmakerRunTest::ExpectReaches(int32_t want, int max_passes) {
    for (int pass = 0; pass < max_passes; ++pass) {
        Pump(1, 10);
        if (State() == want) {
            break;
        }
    }
    EXPECT_EQ(State(), want) << "wanted " << krmm_matchmaking_state_to_str(want) << ", still in "
                             << krmm_matchmaking_state_to_str(State());
}

void MatchmakerRunTest::PumpTo(uint32_t since, uint32_t at) {
    while (static_cast<uint32_t>(Now() - since) + 10 <= at) {
        Pump(1, 10);
    }
}

const hyl_request* MatchmakerRunTest::LastSent(hyl_kind kind) const {
    const hyl_request* last = nullptr;
    for (uint32_t i = 0; i < hyl_journal_count(client_); ++i) {
        const hyl_request* entry = hyl_journal_get(client_, i);
        if (entry->kind == kind) {
            last = entry;
        }
    }
    return last;
}

}  // namespace krmm_test
