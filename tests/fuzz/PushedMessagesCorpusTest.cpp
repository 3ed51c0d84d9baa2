// Runs the pushed-message property over the fuzzer's seed corpus, so every
// build checks it even where the fuzzer cannot be built.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "KRMatchmakingSystem.h"
#include "PushedMessages.h"

namespace {

TEST(PushedMessagesTest, SeedCorpusKeepsTheInvariantsAndReachesEveryEnding) {
    const std::filesystem::path corpus = KRMM_FUZZ_CORPUS;
    uint32_t states = 0;
    bool hopper_stored = false;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string data{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
        fuzz_test::PushOutcome outcome;
        const char* broken = fuzz_test::CheckPushedMessages(
            reinterpret_cast<const uint8_t*>(data.data()), data.size(), &outcome);
        EXPECT_EQ(broken, nullptr) << broken << " for " << entry.path();
        states |= outcome.states_seen;
        hopper_stored = hopper_stored || outcome.hopper_stored;
    }
    // Pushed messages alone carry a matchmaker down each road.
    for (int32_t state : {MMS_INITIAL_WAITING, MMS_MATCHED, MMS_ACCEPTED_LEADER,
                          MMS_ACCEPTED_FOLLOWER, MMS_MATCH_STARTED, MMS_ERR_EXPIRED, MMS_RESTART}) {
        EXPECT_NE(states & (1u << state), 0u) << krmm_matchmaking_state_to_str(state);
    }
    EXPECT_TRUE(hopper_stored);
}

}  // namespace
