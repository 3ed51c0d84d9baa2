#include <gtest/gtest.h>

#include <limits>

#include "rating/Elo.h"
#include "rating/RatingMatch.h"

namespace KRMatchmakingSystem {
namespace {

using EloMatch = RatingMatch<EloTeam, EloPlayer>;

TEST(Elo, MovesEachPlayerByHisOwnKFactorTimesTheTeamSurprise) {
    struct Case {
        const char* name;
        uint32_t rank_a;
        std::vector<EloPlayer> team_a;
        uint32_t rank_b;
        std::vector<EloPlayer> team_b;
        std::vector<double> expected;  // team a's players, then team b's
    };
    const Case cases[] = {
        {"even players, winner takes half K", 1, {{1500, 32}}, 2, {{1500, 32}}, {1516, 1484}},
        // Means 1500 and 1700: E_A = 1 / (1 + 10^(200/400)) = 0.2403.
        {"draw against a stronger team",
         1,
         {{1600, 32}, {1400, 16}},
         1,
         {{1700, 24}},
         {1608.3119, 1404.1560, 1693.7661}},
        // The lower rank wins even as the second team; ranks compare unsigned.
        {"ranks compare unsigned", 0xFFFFFFFFu, {{1500, 32}}, 0, {{1500, 32}}, {1484, 1516}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EloMatch match;
        match.Add(c.rank_a, c.team_a).Add(c.rank_b, c.team_b);
        ASSERT_TRUE(EloUpdate(match.teams(), 2));
        const std::size_t in_a = c.team_a.size();
        ASSERT_EQ(in_a + c.team_b.size(), c.expected.size());
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            const EloPlayer& player = i < in_a ? match.roster(0)[i] : match.roster(1)[i - in_a];
            EXPECT_NEAR(player.rating, c.expected[i], 1e-3) << i;
        }
    }
}

// A refused call, and a single team, must leave the caller's records exactly
// as they were.
TEST(Elo, RefusalsAndSingleTeamsLeaveEveryRecordUntouched) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Call {
        const char* name;
        std::vector<EloPlayer> team_a;
        std::vector<EloPlayer> team_b;
        uint32_t num_teams;
        bool result;
    };
    const Call calls[] = {
        {"no teams", {{1500, 32}}, {{1500, 32}}, 0, false},
        {"one team", {{1500, 32}}, {{1500, 32}}, 1, true},
        {"empty first team", {}, {{1500, 32}}, 2, false},
        {"three teams", {{1500, 32}}, {{1500, 32}}, 3, false},
        {"infinite K factor", {{1500, inf}}, {{1400, 32}}, 2, false},
        // The first team alone would move finitely: it must not be written.
        {"infinite rating in the second team", {{1500, 32}}, {{inf, 32}}, 2, false},
    };
    for (const Call& c : calls) {
        SCOPED_TRACE(c.name);
        EloMatch match;
        match.Add(1, c.team_a).Add(2, c.team_b).Add(3, {{1500, 32}});
        const auto before = match.Snapshot();
        EXPECT_EQ(EloUpdate(match.teams(), c.num_teams), c.result);
        EXPECT_EQ(match.Snapshot(), before);
    }
    EXPECT_FALSE(EloUpdate(nullptr, 2));
    EloMatch match;
    match.Add(1, {{1500, 32}}).Add(2, {{1500, 32}});
    match.teams()[1].players = nullptr;  // claims a player it does not point at
    EXPECT_FALSE(EloUpdate(match.teams(), 2));
    EXPECT_EQ(match.roster(0)[0].rating, 1500);
}

}  // namespace
}  // namespace KRMatchmakingSystem
