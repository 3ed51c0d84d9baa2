#include "rating/Glicko2.h"

#include <cmath>

#include "rating/Glicko2Volatility.h"
#include "rating/RatingCommon.h"

namespace KRMatchmakingSystem {

namespace {

constexpr double kGlickoCentre = 1500.0;
constexpr double kPiSquared = 9.869604401090658;

bool IsRateable(const Glicko2Player& player) {
    return std::isfinite(player.rating) && std::isfinite(player.deviation) &&
           std::isfinite(player.volatility) && player.deviation >= 0.0 && player.volatility > 0.0;
}

bool IsRateable(const Glicko2Opponent& opponent) {
    return std::isfinite(opponent.rating) && std::isfinite(opponent.deviation) &&
           std::isfinite(opponent.score) && opponent.deviation >= 0.0;
}

bool IsRateable(const Glicko2Config& config) {
    return std::isfinite(config.scale) && config.scale > 0.0 && std::isfinite(config.tau) &&
           config.tau > 0.0 && std::isfinite(config.epsilon) && config.epsilon > 0.0;
}

// Dampens the weight of a game by the uncertainty of the opponent's rating.
double G(double phi) {
    return 1.0 / std::sqrt(1.0 + 3.0 * phi * phi / kPiSquared);
}

// One game as the rating period uses it: the opponent on the Glicko-2 scale
// with the weight of his deviation, worked out once however many players face
// him.
struct PreparedGame {
    double mu;
    double g;
    double score;
};

// Sizes ordinary teams fit in without touching the heap.
constexpr std::size_t kFixedGames = 16;

bool Prepare(const Glicko2Config& config, const Glicko2Opponent& opponent, PreparedGame* game) {
    if (!IsRateable(opponent)) {
        return false;
    }
    *game = {(opponent.rating - kGlickoCentre) / config.scale, G(opponent.deviation / config.scale),
             opponent.score};
    return true;
}

// A player's rating period up to the new volatility.
struct Period {
    double mu;
    double improvement;  // sum of g (s - E), i.e. delta / v
    Rating::VolatilityProblem volatility;
};

// Weighs the games; config and player have been checked. False when the
// games carry no information.
bool Assess(const Glicko2Config& config, const Glicko2Player& player, const PreparedGame* games,
            std::size_t game_count, Period* period) {
    const double mu = (player.rating - kGlickoCentre) / config.scale;
    const double phi = player.deviation / config.scale;

    double information = 0.0;  // 1 / v
    double improvement = 0.0;
    for (std::size_t j = 0; j < game_count; ++j) {
        const PreparedGame& game = games[j];
        const double expected = 1.0 / (1.0 + std::exp(-game.g * (mu - game.mu)));
        information += game.g * game.g * expected * (1.0 - expected);
        improvement += game.g * (game.score - expected);
    }
    const double v = 1.0 / information;
    const double delta = v * improvement;
    // A game decided beyond doubt carries no information: v is infinite and
    // the period has nothing sound to say.
    if (!std::isfinite(v) || !std::isfinite(delta)) {
        return false;
    }
    *period = {mu, improvement, {phi, player.volatility, v, delta}};
    return true;
}

// The new rating and deviation from the new volatility. False when a new
// value would not be finite.
bool Conclude(const Glicko2Config& config, const Period& period, double new_sigma,
              Glicko2Player* result) {
    const double phi = period.volatility.phi;
    const double phi_star = std::sqrt(phi * phi + new_sigma * new_sigma);
    const double new_phi = 1.0 / std::sqrt(1.0 / (phi_star * phi_star) + 1.0 / period.volatility.v);
    const double new_mu = period.mu + new_phi * new_phi * period.improvement;

    const Glicko2Player rated = {config.scale * new_mu + kGlickoCentre, config.scale * new_phi,
                                 new_sigma};
    if (!std::isfinite(rated.rating) || !std::isfinite(rated.deviation) ||
        !std::isfinite(rated.volatility)) {
        return false;
    }
    *result = rated;
    return true;
}

// Rates every player of `team` against `games`, results to `results`. The
// volatility searches of the team run side by side. False as soon as one
// player cannot be rated.
bool RateTeam(const Glicko2Config& config, const Glicko2Team& team, const PreparedGame* games,
              std::size_t game_count, Glicko2Player* results) {
    Rating::Scratch<Period, kFixedGames> periods;
    Rating::Scratch<Rating::VolatilityProblem, kFixedGames> problems;
    Rating::Scratch<double, kFixedGames> sigmas;
    if (!periods.Reserve(team.player_count) || !problems.Reserve(team.player_count) ||
        !sigmas.Reserve(team.player_count)) {
        return false;
    }
    for (uint32_t i = 0; i < team.player_count; ++i) {
        if (!IsRateable(team.players[i]) ||
            !Assess(config, team.players[i], games, game_count, &periods[i])) {
            return false;
        }
        problems[i] = periods[i].volatility;
    }
    if (!Rating::SolveVolatilities(config.tau, config.epsilon, problems.data(), team.player_count,
                                   sigmas.data())) {
        return false;
    }
    for (uint32_t i = 0; i < team.player_count; ++i) {
        if (!Conclude(config, periods[i], sigmas[i], &results[i])) {
            return false;
        }
    }
    return true;
}

// The players of `team` as games scored `score` for their opponents.
bool PrepareTeam(const Glicko2Config& config, const Glicko2Team& team, double score,
                 PreparedGame* games) {
    for (uint32_t j = 0; j < team.player_count; ++j) {
        const Glicko2Player& player = team.players[j];
        if (!Prepare(config, {player.rating, player.deviation, player.volatility, score},
                     &games[j])) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool Glicko2RatePlayer(const Glicko2Config& config, const Glicko2Player& player,
                       const Glicko2Opponent* opponents, std::size_t opponent_count,
                       Glicko2Player* result) {
    if (opponents == nullptr || opponent_count == 0 || result == nullptr || !IsRateable(config) ||
        !IsRateable(player)) {
        return false;
    }
    Rating::Scratch<PreparedGame, kFixedGames> games;
    if (!games.Reserve(opponent_count)) {
        return false;
    }
    for (std::size_t j = 0; j < opponent_count; ++j) {
        if (!Prepare(config, opponents[j], &games[j])) {
            return false;
        }
    }
    Period period;
    double new_sigma = 0.0;
    return Assess(config, player, games.data(), opponent_count, &period) &&
           Rating::SolveVolatilities(config.tau, config.epsilon, &period.volatility, 1,
                                     &new_sigma) &&
           Conclude(config, period, new_sigma, result);
}

bool Glicko2Update(double tau, Glicko2Team* teams, uint32_t num_teams) {
    if (num_teams < 2) {
        return true;
    }
    if (num_teams > 2 || teams == nullptr) {
        return false;
    }
    const Glicko2Team& a = teams[0];
    const Glicko2Team& b = teams[1];
    const Glicko2Config config = {kGlicko2Scale, tau, kGlicko2Epsilon};
    if (!Rating::HasPlayers(a) || !Rating::HasPlayers(b) || !IsRateable(config)) {
        return false;
    }
    // Team A plays B's players, team B plays A's; results stay apart from the
    // caller's records until both teams are rated, so every game reads the
    // ratings as they were on entry.
    Rating::Scratch<PreparedGame, kFixedGames> games_of_a;
    Rating::Scratch<PreparedGame, kFixedGames> games_of_b;
    Rating::Scratch<Glicko2Player, kFixedGames> results_a;
    Rating::Scratch<Glicko2Player, kFixedGames> results_b;
    if (!games_of_a.Reserve(b.player_count) || !games_of_b.Reserve(a.player_count) ||
        !results_a.Reserve(a.player_count) || !results_b.Reserve(b.player_count) ||
        !PrepareTeam(config, b, Rating::ActualScore(a.rank, b.rank), games_of_a.data()) ||
        !PrepareTeam(config, a, Rating::ActualScore(b.rank, a.rank), games_of_b.data()) ||
        !RateTeam(config, a, games_of_a.data(), b.player_count, results_a.data()) ||
        !RateTeam(config, b, games_of_b.data(), a.player_count, results_b.data())) {
        return false;
    }
    for (uint32_t i = 0; i < a.player_count; ++i) {
        teams[0].players[i] = results_a[i];
    }
    for (uint32_t i = 0; i < b.player_count; ++i) {
        teams[1].players[i] = results_b[i];
    }
    return true;
}

bool RunGlicko2SelfTest() {
    const Glicko2Config config = {kGlicko2Scale, 0.5, kGlicko2Epsilon};
    const Glicko2Player player = {1500.0, 200.0, 0.06};
    const Glicko2Opponent games[] = {
        {1400.0, 30.0, -1.0, 1.0},
        {1550.0, 100.0, -1.0, 0.0},
        {1700.0, 300.0, -1.0, 0.0},
    };
    Glicko2Player rated = {};
    if (!Glicko2RatePlayer(config, player, games, sizeof(games) / sizeof(games[0]), &rated)) {
        return false;
    }
    return std::fabs(rated.rating - 1464.06) < 0.01 && std::fabs(rated.deviation - 151.52) < 0.01 &&
           std::fabs(rated.volatility - 0.05999) < 0.00001;
}

}  // namespace KRMatchmakingSystem
