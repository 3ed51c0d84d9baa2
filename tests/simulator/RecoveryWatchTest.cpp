// Error recovery windows counted from the matchmaker itself, on the loopback
// backend and with no log line delivered: the simulator's recovery figures
// need neither the emulator nor the wording of a line.

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "RecoveryWatch.h"
#include "support/MatchmakerTestSupport.h"

namespace KRSimulator {
namespace {

class RecoveryWatchTest : public krmm_test::MatchmakerTest {
protected:
    // Keep-alives answered "matching" after a number of polls.
    void AnswerMatching(uint32_t polls) {
        const char* matching =
            "{\"seq\":1,\"matchable_id\":\"00000000-0000-4000-8000-000000000001\","
            "\"hopper_id\":\"30ac7aba-e072-52cf-b30d-d88c2ff89f76\",\"state\":\"matching\"}";
        ASSERT_EQ(hyl_set_default(client_, HYL_KEEPALIVE, 200, matching, polls), 0);
    }
    // Matching at once, with a keep-alive every second.
    void StartMatching() {
        AnswerMatching(0);
        krmm_set_heartbeat_interval(mm_, 1000);
        krmm_start_matchmaking(mm_, "30ac7aba-e072-52cf-b30d-d88c2ff89f76", nullptr, nullptr, 0,
                               nullptr, nullptr);
        Run(3000);
    }
    // Passes 100 ms apart, each looked at as the simulator does.
    void Run(uint32_t ms) {
        for (uint32_t at = 0; at < ms; at += 100) {
            Pump(1, 100);
            watch_.Observe(mm_, 0, &counts_);
        }
    }
    std::tuple<uint32_t, uint32_t, uint32_t, uint32_t> Counts() const {
        return {counts_.opened, counts_.recovered, counts_.gave_up, counts_.cut_short};
    }
    static void OnMessage(krmm_matchmaker* mm, const char* name, int32_t value, const char*,
                          void* user_data) {
        RecoveryWatchTest& self = *static_cast<RecoveryWatchTest*>(user_data);
        const bool error = std::strcmp(name, "error") == 0;
        if (error || std::strcmp(name, "state") == 0) {
            self.watch_.Observe(mm, error ? value : 0, &self.counts_);
        }
    }

    RecoveryWatch watch_;
    RecoveryCounts counts_;
};

TEST_F(RecoveryWatchTest, WindowsAreCountedByHowTheyEnd) {
    CreateMatchmaker(0);
    krmm_register_msg_callback(mm_, &OnMessage, this);
    StartMatching();
    // One 504: the next keep-alive gets through.
    ASSERT_EQ(hyl_script(client_, HYL_KEEPALIVE, 504, "{}", 0), 0);
    Run(5000);
    EXPECT_EQ(Counts(), std::make_tuple(1u, 1u, 0u, 0u));
    // A 504, then a 500 while recovering: the attempt ends meanwhile.
    ASSERT_EQ(hyl_script(client_, HYL_KEEPALIVE, 504, "{}", 0), 0);
    ASSERT_EQ(hyl_script(client_, HYL_KEEPALIVE, 500, "{}", 0), 0);
    Run(5000);
    EXPECT_EQ(Counts(), std::make_tuple(2u, 1u, 0u, 1u));
    // A 504, then keep-alives that stay unanswered: the recovery times out.
    DrainToIdle();
    StartMatching();
    ASSERT_EQ(hyl_script(client_, HYL_KEEPALIVE, 504, "{}", 0), 0);
    AnswerMatching(1000);
    Run(15000);
    EXPECT_EQ(Counts(), std::make_tuple(3u, 1u, 1u, 1u));
    EXPECT_TRUE(rec_.lines.empty());
    DrainToIdle();
}

}  // namespace
}  // namespace KRSimulator
