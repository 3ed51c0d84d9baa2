#include <gtest/gtest.h>

#include "rating/Bayesian.h"
#include "rating/RatingMatch.h"

namespace KRMatchmakingSystem {
namespace {

using BayesianMatch = RatingMatch<BayesianTeam, BayesianPlayer>;

// The usual defaults: skill 25 +- 25/3, performance spread 25/6.
constexpr double kSigma = 25.0 / 3.0;
constexpr double kBetaSquared = (25.0 / 6.0) * (25.0 / 6.0);
const BayesianPlayer kDefault = {25.0, kSigma};

// An uncertain player against many nearly certain equals: his variance would
// shrink below zero (no spread) or to almost nothing, and is held at exactly
// kappa times its old value.
TEST(Bayesian, VarianceShrinkIsFlooredAtKappa) {
    for (const auto& [opponents, beta_squared] : {std::pair(5u, 0.0), std::pair(4u, 1e-6)}) {
        SCOPED_TRACE(opponents);
        BayesianMatch match;
        match.Add(1, {{0, 1}, {0, 1e-3}});
        for (uint32_t i = 0; i < opponents; ++i) {
            match.Add(2 + i, {{0, 1e-3}});
        }
        ASSERT_TRUE(BayesianUpdate(beta_squared, match.teams(), match.size()));
        const BayesianPlayer& floored = match.roster(0)[0];
        EXPECT_DOUBLE_EQ(floored.sigma * floored.sigma, 0.0001);
        EXPECT_GT(floored.mu, 0.0);
        // The nearly certain team mate holds a tiny share: barely any shrink.
        EXPECT_NEAR(match.roster(0)[1].sigma, 1e-3, 1e-9);
    }
}

TEST(Bayesian, RefusalsAndSingleTeamsLeaveEveryRecordUntouched) {
    struct Call {
        const char* name;
        double beta_squared;
        std::vector<std::vector<BayesianPlayer>> teams;
        uint32_t num_teams;
    };
    const Call calls[] = {
        {"no teams", kBetaSquared, {}, 0},
        {"one team", kBetaSquared, {{kDefault}, {kDefault}}, 1},
        {"empty last team", kBetaSquared, {{kDefault}, {kDefault}, {}}, 3},
        // A team without any variance has no shares to spread a correction by;
        // the team before it rates fine and must not be written either.
        {"last team without variance", kBetaSquared, {{kDefault}, {{25, 0}, {25, 0}}}, 2},
        // exp(mu / c) overflows, and the win probability with it.
        {"overflowing means", kBetaSquared, {{{1e6, 1}}, {{1e6, 1}}}, 2},
    };
    for (const Call& c : calls) {
        SCOPED_TRACE(c.name);
        BayesianMatch match;
        uint32_t rank = 1;
        for (const auto& players : c.teams) {
            match.Add(rank++, players);
        }
        const auto before = match.Snapshot();
        EXPECT_EQ(BayesianUpdate(c.beta_squared, match.teams(), c.num_teams), c.num_teams < 2);
        EXPECT_EQ(match.Snapshot(), before);
    }
    EXPECT_FALSE(BayesianUpdate(kBetaSquared, nullptr, 2));
}

}  // namespace
}  // namespace KRMatchmakingSystem
