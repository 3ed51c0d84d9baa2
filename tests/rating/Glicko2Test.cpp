#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "rating/Glicko2.h"
#include "rating/RatingMatch.h"

namespace KRMatchmakingSystem {
namespace {

using Glicko2Match = RatingMatch<Glicko2Team, Glicko2Player>;

constexpr double kTau = 0.5;
const Glicko2Player kNewcomer = {1500, 350, 0.06};

TEST(Glicko2, SelfTestPasses) {
    EXPECT_TRUE(RunGlicko2SelfTest());
}

// The published worked example, checked closer than the self-test does.
TEST(Glicko2, RatingPeriodMatchesPublishedExample) {
    const Glicko2Config config = {kGlicko2Scale, 0.5, kGlicko2Epsilon};
    const Glicko2Opponent games[] = {
        {1400, 30, -1, 1.0},
        {1550, 100, -1, 0.0},
        {1700, 300, -1, 0.0},
    };
    Glicko2Player rated = {};
    ASSERT_TRUE(Glicko2RatePlayer(config, {1500, 200, 0.06}, games, 3, &rated));
    EXPECT_NEAR(rated.rating, 1464.05, 0.01);
    EXPECT_NEAR(rated.deviation, 151.52, 0.01);
    EXPECT_NEAR(rated.volatility, 0.059996, 0.000001);
}

TEST(Glicko2, RatingPeriodWithoutGamesWritesNothing) {
    const Glicko2Config config = {kGlicko2Scale, 0.5, kGlicko2Epsilon};
    const Glicko2Opponent game = {1400, 30, -1, 1.0};
    Glicko2Player rated = {1, 2, 3};
    EXPECT_FALSE(Glicko2RatePlayer(config, kNewcomer, &game, 0, &rated));
    EXPECT_FALSE(Glicko2RatePlayer(config, kNewcomer, nullptr, 1, &rated));
    EXPECT_EQ(rated.rating, 1);
    EXPECT_EQ(rated.deviation, 2);
    EXPECT_EQ(rated.volatility, 3);
}

struct NewcomerCase {
    const char* name;
    uint32_t rank_a;
    uint32_t rank_b;
    double expected_a;
    double expected_b;
};

class Glicko2Newcomers : public ::testing::TestWithParam<NewcomerCase> {};

// Two unrated players: one game shrinks both deviations from 350 to about 290,
// and a decisive result moves both ratings by the same amount.
TEST_P(Glicko2Newcomers, OneGameBetweenUnratedPlayers) {
    const NewcomerCase& c = GetParam();
    Glicko2Match match;
    match.Add(c.rank_a, {kNewcomer}).Add(c.rank_b, {kNewcomer});
    ASSERT_TRUE(Glicko2Update(kTau, match.teams(), 2));
    const Glicko2Player& a = match.roster(0)[0];
    const Glicko2Player& b = match.roster(1)[0];
    EXPECT_NEAR(a.rating, c.expected_a, 0.1);
    EXPECT_NEAR(b.rating, c.expected_b, 0.1);
    EXPECT_NEAR(a.rating - 1500, 1500 - b.rating, 1e-9);
    for (const Glicko2Player& p : {a, b}) {
        EXPECT_NEAR(p.deviation, 290.32, 0.05);
        EXPECT_NEAR(p.volatility, 0.06, 0.0001);
        EXPECT_LT(p.volatility, 0.06);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Glicko2, Glicko2Newcomers,
    ::testing::Values(NewcomerCase{"Draw", 4, 4, 1500, 1500},
                      NewcomerCase{"FirstTeamWins", 1, 2, 1662.31, 1337.69},
                      NewcomerCase{"SecondTeamWins", 2, 1, 1337.69, 1662.31},
                      NewcomerCase{"RanksCompareUnsigned", 0, 0x80000000u, 1662.31, 1337.69}),
    [](const ::testing::TestParamInfo<NewcomerCase>& info) { return info.param.name; });

class Glicko2Teams : public ::testing::Test {
protected:
    const std::vector<Glicko2Player> red_ = {{1620, 80, 0.06}, {1480, 200, 0.05}};
    const std::vector<Glicko2Player> blue_ = {
        {1510, 50, 0.07}, {1700, 300, 0.06}, {1390, 120, 0.059}};

    // What a player should become: one rating period against every player of
    // the other team as it was before the match, each game scored by the team
    // result.
    static Glicko2Player Expected(const Glicko2Player& player,
                                  const std::vector<Glicko2Player>& others, double score) {
        std::vector<Glicko2Opponent> games;
        for (const Glicko2Player& o : others) {
            games.push_back({o.rating, o.deviation, o.volatility, score});
        }
        Glicko2Player rated = {};
        EXPECT_TRUE(Glicko2RatePlayer({kGlicko2Scale, kTau, kGlicko2Epsilon}, player, games.data(),
                                      games.size(), &rated));
        return rated;
    }

    static void ExpectSame(const Glicko2Player& actual, const Glicko2Player& expected) {
        EXPECT_DOUBLE_EQ(actual.rating, expected.rating);
        EXPECT_DOUBLE_EQ(actual.deviation, expected.deviation);
        EXPECT_DOUBLE_EQ(actual.volatility, expected.volatility);
    }
};

TEST_F(Glicko2Teams, EveryPlayerIsRatedAgainstTheOtherTeamOnEntry) {
    Glicko2Match match;
    match.Add(1, red_).Add(2, blue_);
    ASSERT_TRUE(Glicko2Update(kTau, match.teams(), 2));
    for (std::size_t i = 0; i < red_.size(); ++i) {
        SCOPED_TRACE(i);
        ExpectSame(match.roster(0)[i], Expected(red_[i], blue_, 1.0));
    }
    for (std::size_t i = 0; i < blue_.size(); ++i) {
        SCOPED_TRACE(i);
        ExpectSame(match.roster(1)[i], Expected(blue_[i], red_, 0.0));
    }
}

TEST_F(Glicko2Teams, ResultDoesNotDependOnTeamOrder) {
    Glicko2Match forward;
    forward.Add(3, red_).Add(3, blue_);
    Glicko2Match backward;
    backward.Add(3, blue_).Add(3, red_);
    ASSERT_TRUE(Glicko2Update(kTau, forward.teams(), 2));
    ASSERT_TRUE(Glicko2Update(kTau, backward.teams(), 2));
    for (std::size_t i = 0; i < red_.size(); ++i) {
        ExpectSame(forward.roster(0)[i], backward.roster(1)[i]);
    }
    for (std::size_t i = 0; i < blue_.size(); ++i) {
        ExpectSame(forward.roster(1)[i], backward.roster(0)[i]);
    }
}

// Input the volatility search cannot handle must be refused promptly (no
// endless loop) and leave every record as it was, the valid team included.
TEST_F(Glicko2Teams, RefusalsLeaveEveryRecordUntouched) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Refusal {
        const char* name;
        double tau;
        std::vector<Glicko2Player> team_a;
        std::vector<Glicko2Player> team_b;
        uint32_t extra_teams;
    };
    const Refusal refusals[] = {
        {"empty first team", kTau, {}, blue_, 0},
        {"empty second team", kTau, red_, {}, 0},
        {"three teams", kTau, red_, blue_, 1},
        {"tau zero", 0.0, red_, blue_, 0},
        {"tau negative", -0.5, red_, blue_, 0},
        {"tau NaN", nan, red_, blue_, 0},
        {"tau infinite", inf, red_, blue_, 0},
        {"rating NaN", kTau, red_, {{1500, 100, 0.06}, {nan, 100, 0.06}}, 0},
        {"deviation infinite", kTau, {{1500, inf, 0.06}}, blue_, 0},
        {"deviation negative", kTau, red_, {{1500, -10, 0.06}}, 0},
        {"volatility zero", kTau, red_, {{1500, 100, 0.0}}, 0},
        {"volatility negative", kTau, {{1500, 100, -0.06}}, blue_, 0},
        {"result beyond doubt", kTau, {{1500, 0, 0.06}}, {{900000, 0, 0.06}}, 0},
        // tau so small that a - k tau never moves: the bracketing would spin.
        {"tau too small to step", 1e-160, {{1500, 200, 0.06}}, {{1500, 30, 0.06}}, 0},
        {"volatility squared underflows", kTau, {{1500, 100, 1e-300}}, blue_, 0},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.name);
        Glicko2Match match;
        match.Add(1, r.team_a).Add(2, r.team_b);
        for (uint32_t i = 0; i < r.extra_teams; ++i) {
            match.Add(3, {kNewcomer});
        }
        const auto before = match.Snapshot();
        EXPECT_FALSE(Glicko2Update(r.tau, match.teams(), match.size()));
        EXPECT_EQ(match.Snapshot(), before);
    }
}

TEST_F(Glicko2Teams, CountsBelowTwoAnswerTrueWithoutTouchingTheTeams) {
    Glicko2Match match;
    match.Add(1, red_).Add(2, blue_);
    const auto before = match.Snapshot();
    EXPECT_TRUE(Glicko2Update(kTau, match.teams(), 0));
    EXPECT_TRUE(Glicko2Update(kTau, match.teams(), 1));
    EXPECT_EQ(match.Snapshot(), before);
    EXPECT_FALSE(Glicko2Update(kTau, nullptr, 2));
}

}  // namespace
}  // namespace KRMatchmakingSystem
