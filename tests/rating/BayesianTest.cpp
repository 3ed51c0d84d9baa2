#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "rating/Bayesian.h"
#include "rating/RatingMatch.h"

namespace KRMatchmakingSystem {
namespace {

using BayesianMatch = RatingMatch<BayesianTeam, BayesianPlayer>;

// The usual defaults: skill 25 +- 25/3, performance spread 25/6.
constexpr double kSigma = 25.0 / 3.0;
constexpr double kBetaSquared = (25.0 / 6.0) * (25.0 / 6.0);
const BayesianPlayer kDefault = {25.0, kSigma};

struct BayesianTeamCase {
    uint32_t rank;
    std::vector<BayesianPlayer> players;
    std::vector<BayesianPlayer> expected;
};

struct BayesianCase {
    const char* name;
    std::vector<BayesianTeamCase> teams;
};

class BayesianOutcome : public ::testing::TestWithParam<BayesianCase> {};

TEST_P(BayesianOutcome, MatchesKnownFigures) {
    BayesianMatch match;
    for (const BayesianTeamCase& team : GetParam().teams) {
        match.Add(team.rank, team.players);
    }
    ASSERT_TRUE(BayesianUpdate(kBetaSquared, match.teams(), match.size()));
    for (std::size_t t = 0; t < GetParam().teams.size(); ++t) {
        const std::vector<BayesianPlayer>& expected = GetParam().teams[t].expected;
        for (std::size_t j = 0; j < expected.size(); ++j) {
            SCOPED_TRACE(::testing::Message() << "team " << t << " player " << j);
            EXPECT_NEAR(match.roster(t)[j].mu, expected[j].mu, 1e-4);
            EXPECT_NEAR(match.roster(t)[j].sigma, expected[j].sigma, 1e-4);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Bayesian, BayesianOutcome,
    ::testing::Values(BayesianCase{"TwoPlayers",
                                   {{1, {kDefault}, {{27.6352, 8.0655}}},
                                    {2, {kDefault}, {{22.3648, 8.0655}}}}},
                      // The two runners-up drew at equal means: that game adds no mean shift.
                      BayesianCase{"ThreePlayersWithTiedRunnersUp",
                                   {{1, {kDefault}, {{30.2705, 7.7885}}},
                                    {2, {kDefault}, {{22.3648, 7.7885}}},
                                    {2, {kDefault}, {{22.3648, 7.7885}}}}},
                      // Within a team the less certain player moves further.
                      BayesianCase{"SharesFollowVariance",
                                   {{1, {{30, 5}, {20, 8}}, {{30.2554, 4.9732}, {20.6539, 7.8896}}},
                                    {2, {kDefault}, {{24.2905, 8.2232}}}}},
                      BayesianCase{"RanksCompareUnsigned",
                                   {{0xFFFFFFFFu, {kDefault}, {{22.3648, 8.0655}}},
                                    {0, {kDefault}, {{27.6352, 8.0655}}}}}),
    [](const ::testing::TestParamInfo<BayesianCase>& info) { return info.param.name; });

// An uncertain player against many nearly certain equals: his variance would
// shrink to almost nothing (or below zero), and is held at exactly kappa times
// its old value.
TEST(Bayesian, VarianceShrinkIsFlooredAtKappa) {
    struct FloorCase {
        const char* name;
        uint32_t opponents;
        double beta_squared;
    };
    const FloorCase cases[] = {
        {"factor below zero", 5, 0.0},
        {"factor just above zero", 4, 1e-6},
    };
    for (const FloorCase& c : cases) {
        SCOPED_TRACE(c.name);
        BayesianMatch match;
        match.Add(1, {{0, 1}, {0, 1e-3}});
        for (uint32_t i = 0; i < c.opponents; ++i) {
            match.Add(2 + i, {{0, 1e-3}});
        }
        ASSERT_TRUE(BayesianUpdate(c.beta_squared, match.teams(), match.size()));
        const BayesianPlayer& floored = match.roster(0)[0];
        EXPECT_DOUBLE_EQ(floored.sigma * floored.sigma, 0.0001);
        EXPECT_GT(floored.mu, 0.0);
        // The nearly certain team mate holds a tiny share: barely any shrink.
        EXPECT_NEAR(match.roster(0)[1].sigma, 1e-3, 1e-9);
    }
}

TEST(Bayesian, ResultDoesNotDependOnTeamOrder) {
    const std::vector<std::pair<uint32_t, std::vector<BayesianPlayer>>> teams = {
        {2, {{28, 4}, {21, 7}}},
        {1, {{24, 6}}},
        {3, {{19, 8}, {26, 2}, {23, 5}}},
        {2, {{30, 3}}},
    };
    const uint32_t orders[][4] = {{0, 1, 2, 3}, {3, 2, 1, 0}, {2, 0, 3, 1}};
    std::vector<BayesianMatch> results;
    for (const auto& order : orders) {
        BayesianMatch match;
        for (uint32_t t : order) {
            match.Add(teams[t].first, teams[t].second);
        }
        ASSERT_TRUE(BayesianUpdate(kBetaSquared, match.teams(), match.size()));
        results.push_back(match);
    }
    for (std::size_t o = 1; o < results.size(); ++o) {
        for (uint32_t slot = 0; slot < 4; ++slot) {
            // Find where the team in this slot of the first order went.
            const uint32_t team = orders[0][slot];
            uint32_t moved = 0;
            while (orders[o][moved] != team) {
                ++moved;
            }
            for (std::size_t j = 0; j < teams[team].second.size(); ++j) {
                SCOPED_TRACE(::testing::Message() << "order " << o << " team " << team);
                const BayesianPlayer& a = results[0].roster(slot)[j];
                const BayesianPlayer& b = results[o].roster(moved)[j];
                EXPECT_NEAR(a.mu, b.mu, 1e-12);
                EXPECT_NEAR(a.sigma, b.sigma, 1e-12);
                EXPECT_NE(a.mu, teams[team].second[j].mu);
            }
        }
    }
}

TEST(Bayesian, RefusalsLeaveEveryRecordUntouched) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Refusal {
        const char* name;
        double beta_squared;
        std::vector<std::vector<BayesianPlayer>> teams;
    };
    const Refusal refusals[] = {
        {"empty first team", kBetaSquared, {{}, {kDefault}, {kDefault}}},
        {"empty middle team", kBetaSquared, {{kDefault}, {}, {kDefault}}},
        {"empty last team", kBetaSquared, {{kDefault}, {kDefault}, {}}},
        // A team without any variance has no shares to spread a correction by.
        {"team without variance", kBetaSquared, {{{25, 0}, {25, 0}}, {kDefault}}},
        {"beta squared NaN", nan, {{kDefault}, {kDefault}}},
        {"mean NaN", kBetaSquared, {{{nan, kSigma}}, {kDefault}}},
        // exp(mu / c) overflows, and the win probability with it.
        {"overflowing means", kBetaSquared, {{{1e6, 1}}, {{1e6, 1}}}},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.name);
        BayesianMatch match;
        uint32_t rank = 1;
        for (const auto& players : r.teams) {
            match.Add(rank++, players);
        }
        const auto before = match.Snapshot();
        EXPECT_FALSE(BayesianUpdate(r.beta_squared, match.teams(), match.size()));
        EXPECT_EQ(match.Snapshot(), before);
    }
}

TEST(Bayesian, CountsBelowTwoAnswerTrueWithoutTouchingTheTeams) {
    BayesianMatch match;
    match.Add(1, {kDefault}).Add(2, {kDefault});
    const auto before = match.Snapshot();
    EXPECT_TRUE(BayesianUpdate(kBetaSquared, match.teams(), 0));
    EXPECT_TRUE(BayesianUpdate(kBetaSquared, match.teams(), 1));
    EXPECT_EQ(match.Snapshot(), before);
    EXPECT_FALSE(BayesianUpdate(kBetaSquared, nullptr, 2));
}

}  // namespace
}  // namespace KRMatchmakingSystem
