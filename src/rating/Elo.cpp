#include "rating/Elo.h"

#include <cmath>

#include "rating/RatingCommon.h"

namespace KRMatchmakingSystem {

namespace {

constexpr double kEloScale = 400.0;
constexpr double kEloBase = 10.0;

double MeanRating(const EloTeam& team) {
    double sum = 0.0;
    for (uint32_t i = 0; i < team.player_count; ++i) {
        sum += team.players[i].rating;
    }
    return sum / static_cast<double>(team.player_count);
}

// Checked before anything is written, so a refusal leaves the team as it was.
bool MovesStayFinite(const EloTeam& team, double surprise) {
    for (uint32_t i = 0; i < team.player_count; ++i) {
        const EloPlayer& player = team.players[i];
        if (!std::isfinite(player.rating + player.k_factor * surprise)) {
            return false;
        }
    }
    return true;
}

void MovePlayers(EloTeam& team, double surprise) {
    for (uint32_t i = 0; i < team.player_count; ++i) {
        team.players[i].rating += team.players[i].k_factor * surprise;
    }
}

}  // namespace

bool EloUpdate(EloTeam* teams, uint32_t num_teams) {
    if (num_teams == 1) {
        return true;
    }
    if (num_teams != 2 || teams == nullptr) {
        return false;
    }
    EloTeam& a = teams[0];
    EloTeam& b = teams[1];
    // An empty team has no mean rating; rating against it would only spread NaN.
    if (!Rating::HasPlayers(a) || !Rating::HasPlayers(b)) {
        return false;
    }

    const double q_a = std::pow(kEloBase, MeanRating(a) / kEloScale);
    const double q_b = std::pow(kEloBase, MeanRating(b) / kEloScale);
    const double expected_a = q_a / (q_a + q_b);
    const double expected_b = q_b / (q_a + q_b);
    const double surprise_a = Rating::ActualScore(a.rank, b.rank) - expected_a;
    const double surprise_b = Rating::ActualScore(b.rank, a.rank) - expected_b;

    if (!MovesStayFinite(a, surprise_a) || !MovesStayFinite(b, surprise_b)) {
        return false;
    }
    MovePlayers(a, surprise_a);
    MovePlayers(b, surprise_b);
    return true;
}

}  // namespace KRMatchmakingSystem
