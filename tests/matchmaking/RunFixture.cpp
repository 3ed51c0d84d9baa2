#include "RunFixture.h"

namespace krmm_test {

void MatchmakerRunTest::StartWithTicket(uint32_t keep_alive_polls) {
    Script(HYL_KEEPALIVE, 200, StatusJson(Matchable(), 1, "initial_waiting").Text(),
           keep_alive_polls);
    ASSERT_TRUE(Start());
    ExpectReaches(MMS_INITIAL_KEEPALIVE, 10);
    ASSERT_FALSE(sys()->ticket().empty());
}

void MatchmakerRunTest::ExpectReaches(int32_t want, int max_passes) {
    EXPECT_TRUE(PumpUntilState(want, max_passes, 10))
        << "wanted " << krmm_matchmaking_state_to_str(want) << ", still in "
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
