#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "rating/Elo.h"
#include "rating/RatingMatch.h"

namespace KRMatchmakingSystem {
namespace {

using EloMatch = RatingMatch<EloTeam, EloPlayer>;

struct EloSide {
    uint32_t rank;
    std::vector<EloPlayer> players;
    std::vector<double> expected;
};

struct EloCase {
    const char* name;
    EloSide a;
    EloSide b;
    double tolerance;
};

class EloOutcome : public ::testing::TestWithParam<EloCase> {};

TEST_P(EloOutcome, MovesEachPlayerByHisOwnKFactor) {
    const EloCase& c = GetParam();
    EloMatch match;
    match.Add(c.a.rank, c.a.players).Add(c.b.rank, c.b.players);
    ASSERT_TRUE(EloUpdate(match.teams(), 2));
    const EloSide* sides[] = {&c.a, &c.b};
    for (std::size_t t = 0; t < 2; ++t) {
        for (std::size_t i = 0; i < sides[t]->expected.size(); ++i) {
            SCOPED_TRACE(::testing::Message() << "team " << t << " player " << i);
            EXPECT_NEAR(match.roster(t)[i].rating, sides[t]->expected[i], c.tolerance);
            EXPECT_EQ(match.roster(t)[i].k_factor, sides[t]->players[i].k_factor);
        }
    }
}

// What a 1400 player gains from beating a 1600 player with K 20.
const double kUpsetGain = 20 * (1 - 1 / (1 + std::pow(10.0, 200.0 / 400)));

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Elo, EloOutcome,
    ::testing::Values(
        EloCase{"EvenPlayersWinnerTakesHalfK",
                {1, {{1500, 32}}, {1516}}, {2, {{1500, 32}}, {1484}}, 1e-9},
        EloCase{"LowerRankWinsWhenSecondInArray",
                {2, {{1500, 32}}, {1484}}, {1, {{1500, 32}}, {1516}}, 1e-9},
        EloCase{"RanksCompareUnsigned",
                {0xFFFFFFFFu, {{1500, 32}}, {1484}}, {0, {{1500, 32}}, {1516}}, 1e-9},
        EloCase{"DrawAtEqualMeansChangesNothing",
                {3, {{1600, 32}, {1400, 16}}, {1600, 1400}}, {3, {{1500, 24}}, {1500}}, 1e-9},
        // Means 1500 and 1700: E_A = 1 / (1 + 10^(200/400)) = 0.2403.
        EloCase{"DrawAgainstStrongerTeam",
                {1, {{1600, 32}, {1400, 16}}, {1608.3119, 1404.1560}},
                {1, {{1700, 24}}, {1693.7661}}, 1e-3},
        EloCase{"UpsetPaysMoreThanExpectedWin",
                {1, {{1400, 20}}, {1400 + kUpsetGain}}, {2, {{1600, 20}}, {1600 - kUpsetGain}},
                1e-9}),
    [](const ::testing::TestParamInfo<EloCase>& info) { return info.param.name; });
// clang-format on

TEST(Elo, ResultDoesNotDependOnTeamOrder) {
    const std::vector<EloPlayer> red = {{1620, 32}, {1480, 24}, {1550, 16}};
    const std::vector<EloPlayer> blue = {{1510, 40}, {1700, 10}};
    EloMatch forward;
    forward.Add(2, red).Add(1, blue);
    EloMatch backward;
    backward.Add(1, blue).Add(2, red);
    ASSERT_TRUE(EloUpdate(forward.teams(), 2));
    ASSERT_TRUE(EloUpdate(backward.teams(), 2));
    for (std::size_t i = 0; i < red.size(); ++i) {
        EXPECT_DOUBLE_EQ(forward.roster(0)[i].rating, backward.roster(1)[i].rating);
        EXPECT_NE(forward.roster(0)[i].rating, red[i].rating);
    }
    for (std::size_t i = 0; i < blue.size(); ++i) {
        EXPECT_DOUBLE_EQ(forward.roster(1)[i].rating, backward.roster(0)[i].rating);
    }
}

// Every refused call must leave the caller's records exactly as they were.
TEST(Elo, RefusalsLeaveEveryRecordUntouched) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Refusal {
        const char* name;
        std::vector<EloPlayer> team_a;
        std::vector<EloPlayer> team_b;
        uint32_t extra_teams;
    };
    const Refusal refusals[] = {
        {"empty first team", {}, {{1500, 32}}, 0},
        {"empty second team", {{1500, 32}}, {}, 0},
        {"three teams", {{1500, 32}}, {{1500, 32}}, 1},
        {"infinite K factor", {{1500, inf}}, {{1400, 32}}, 0},
        {"infinite rating", {{1500, 32}}, {{inf, 32}}, 0},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.name);
        EloMatch match;
        match.Add(1, r.team_a).Add(2, r.team_b);
        for (uint32_t i = 0; i < r.extra_teams; ++i) {
            match.Add(3, {{1500, 32}});
        }
        const auto before = match.Snapshot();
        EXPECT_FALSE(EloUpdate(match.teams(), match.size()));
        EXPECT_EQ(match.Snapshot(), before);
    }
}

TEST(Elo, CountsBelowTwoAnswerWithoutTouchingTheTeams) {
    EloMatch match;
    match.Add(1, {{1500, 32}}).Add(2, {{1500, 32}});
    const auto before = match.Snapshot();
    EXPECT_FALSE(EloUpdate(match.teams(), 0));
    EXPECT_EQ(match.Snapshot(), before);
    EXPECT_TRUE(EloUpdate(match.teams(), 1));
    EXPECT_EQ(match.Snapshot(), before);
    EXPECT_FALSE(EloUpdate(nullptr, 2));
    EXPECT_TRUE(EloUpdate(nullptr, 1));
}

TEST(Elo, TeamClaimingPlayersWithoutAnArrayIsRefused) {
    EloMatch match;
    match.Add(1, {{1500, 32}}).Add(2, {{1500, 32}});
    match.teams()[1].players = nullptr;
    const auto before = match.Snapshot();
    EXPECT_FALSE(EloUpdate(match.teams(), 2));
    EXPECT_EQ(match.Snapshot(), before);
}

}  // namespace
}  // namespace KRMatchmakingSystem
