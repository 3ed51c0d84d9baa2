#include <gtest/gtest.h>

#include <limits>
#include <tuple>

#include "rating/Glicko2.h"
#include "rating/RatingMatch.h"

namespace KRMatchmakingSystem {
namespace {

using Glicko2Match = RatingMatch<Glicko2Team, Glicko2Player>;

constexpr double kTau = 0.5;
const Glicko2Config kConfig = {kGlicko2Scale, kTau, kGlicko2Epsilon};

// The published worked example, checked closer than the self-test does.
TEST(Glicko2, RatingPeriodMatchesPublishedExample) {
    EXPECT_TRUE(RunGlicko2SelfTest());
    const Glicko2Opponent games[] = {
        {1400, 30, -1, 1.0},
        {1550, 100, -1, 0.0},
        {1700, 300, -1, 0.0},
    };
    Glicko2Player rated = {1, 2, 3};
    ASSERT_TRUE(Glicko2RatePlayer(kConfig, {1500, 200, 0.06}, games, 3, &rated));
    EXPECT_NEAR(rated.rating, 1464.05, 0.01);
    EXPECT_NEAR(rated.deviation, 151.52, 0.01);
    EXPECT_NEAR(rated.volatility, 0.059996, 0.000001);

    // A period without games rates nothing and writes nothing.
    Glicko2Player untouched = {1, 2, 3};
    EXPECT_FALSE(Glicko2RatePlayer(kConfig, {1500, 350, 0.06}, games, 0, &untouched));
    EXPECT_FALSE(Glicko2RatePlayer(kConfig, {1500, 350, 0.06}, nullptr, 1, &untouched));
    EXPECT_EQ(std::make_tuple(untouched.rating, untouched.deviation, untouched.volatility),
              std::make_tuple(1.0, 2.0, 3.0));
}

// Input the volatility search cannot handle must be refused promptly (no
// endless loop) and leave every record as it was, the valid team included;
// fewer than two teams is a no-op.
TEST(Glicko2, RefusalsAndSingleTeamsLeaveEveryRecordUntouched) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<Glicko2Player> ok = {{1620, 80, 0.06}, {1480, 200, 0.05}};
    struct Call {
        const char* name;
        double tau;
        std::vector<Glicko2Player> team_a;
        std::vector<Glicko2Player> team_b;
        uint32_t num_teams;
    };
    const Call calls[] = {
        {"one team", kTau, ok, ok, 1},
        {"empty first team", kTau, {}, ok, 2},
        {"three teams", kTau, ok, ok, 3},
        {"tau zero", 0.0, ok, ok, 2},
        {"tau infinite", inf, ok, ok, 2},
        {"rating NaN in the second team", kTau, ok, {{1500, 100, 0.06}, {nan, 100, 0.06}}, 2},
        {"deviation negative", kTau, ok, {{1500, -10, 0.06}}, 2},
        // The first team rates fine against it (an opponent's volatility is
        // not used); only the second team's own period fails.
        {"volatility zero in the second team", kTau, ok, {{1500, 100, 0.0}}, 2},
        {"result beyond doubt", kTau, {{1500, 0, 0.06}}, {{900000, 0, 0.06}}, 2},
        // tau so small that a - k tau never moves: the bracketing would spin.
        {"tau too small to step", 1e-160, {{1500, 200, 0.06}}, {{1500, 30, 0.06}}, 2},
        {"volatility squared underflows", kTau, {{1500, 100, 1e-300}}, ok, 2},
    };
    for (const Call& c : calls) {
        SCOPED_TRACE(c.name);
        Glicko2Match match;
        match.Add(1, c.team_a).Add(2, c.team_b).Add(3, ok);
        const auto before = match.Snapshot();
        EXPECT_EQ(Glicko2Update(c.tau, match.teams(), c.num_teams), c.num_teams < 2);
        EXPECT_EQ(match.Snapshot(), before);
    }
    EXPECT_FALSE(Glicko2Update(kTau, nullptr, 2));
}

}  // namespace
}  // namespace KRMatchmakingSystem
