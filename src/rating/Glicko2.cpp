#include "rating/Glicko2.h"

#include <cmath>

#include "rating/RatingCommon.h"

namespace KRMatchmakingSystem {

namespace {

constexpr double kGlickoCentre = 1500.0;
constexpr double kPiSquared = 9.869604401090658;

// For sensible tau the bracketing search takes a few steps and the Illinois
// iteration a handful more. Extreme tau (far beyond its useful range of about
// 0.3 to 1.2) can keep either loop from ever meeting its condition in
// floating point; the bounds turn that endless loop into a refusal.
constexpr int kMaxBracketSteps = 100000;
constexpr int kMaxIterations = 10000;

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

// Solves for the new volatility (Illinois variant of regula falsi). False when
// the search does not settle within its bounds.
bool NewVolatility(const Glicko2Config& config, double phi, double sigma, double v, double delta,
                   double* sigma_out) {
    const double a = std::log(sigma * sigma);
    // A volatility whose square underflows has no logarithm to search around.
    if (!std::isfinite(a)) {
        return false;
    }
    const double tau = config.tau;
    const double tau_squared = tau * tau;
    const double phi_squared = phi * phi;
    const double delta_squared = delta * delta;
    auto f = [&](double x) {
        const double ex = std::exp(x);
        const double denominator = phi_squared + v + ex;
        return ex * (delta_squared - phi_squared - v - ex) / (2.0 * denominator * denominator) -
               (x - a) / tau_squared;
    };

    double big_a = a;
    double big_b = 0.0;
    if (delta_squared > phi_squared + v) {
        big_b = std::log(delta_squared - phi_squared - v);
    } else {
        int k = 1;
        while (f(a - k * tau) < 0.0) {
            if (++k > kMaxBracketSteps) {
                return false;
            }
        }
        big_b = a - k * tau;
    }

    double f_a = f(big_a);
    double f_b = f(big_b);
    int iterations = 0;
    while (std::fabs(big_b - big_a) > config.epsilon) {
        if (++iterations > kMaxIterations) {
            return false;
        }
        const double x = big_a + (big_a - big_b) * f_a / (f_b - f_a);
        const double f_x = f(x);
        if (f_x * f_b < 0.0) {
            big_a = big_b;
            f_a = f_b;
        } else {
            f_a = f_a / 2.0;
        }
        big_b = x;
        f_b = f_x;
    }
    *sigma_out = std::exp(big_a / 2.0);
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
    const double mu = (player.rating - kGlickoCentre) / config.scale;
    const double phi = player.deviation / config.scale;

    double information = 0.0;  // 1 / v
    double improvement = 0.0;  // sum of g (s - E), i.e. delta / v
    for (std::size_t j = 0; j < opponent_count; ++j) {
        const Glicko2Opponent& opponent = opponents[j];
        if (!IsRateable(opponent)) {
            return false;
        }
        const double mu_j = (opponent.rating - kGlickoCentre) / config.scale;
        const double g_j = G(opponent.deviation / config.scale);
        const double expected = 1.0 / (1.0 + std::exp(-g_j * (mu - mu_j)));
        information += g_j * g_j * expected * (1.0 - expected);
        improvement += g_j * (opponent.score - expected);
    }
    const double v = 1.0 / information;
    const double delta = v * improvement;
    // A game decided beyond doubt carries no information: v is infinite and
    // the period has nothing sound to say.
    if (!std::isfinite(v) || !std::isfinite(delta)) {
        return false;
    }

    double new_sigma = 0.0;
    if (!NewVolatility(config, phi, player.volatility, v, delta, &new_sigma)) {
        return false;
    }
    const double phi_star = std::sqrt(phi * phi + new_sigma * new_sigma);
    const double new_phi = 1.0 / std::sqrt(1.0 / (phi_star * phi_star) + 1.0 / v);
    const double new_mu = mu + new_phi * new_phi * improvement;

    const Glicko2Player rated = {config.scale * new_mu + kGlickoCentre, config.scale * new_phi,
                                 new_sigma};
    if (!std::isfinite(rated.rating) || !std::isfinite(rated.deviation) ||
        !std::isfinite(rated.volatility)) {
        return false;
    }
    *result = rated;
    return true;
}

namespace {

// One team's results, kept apart from the caller's records until every
// player of both teams has been rated; until then the records still hold the
// entry values.
struct TeamScratch {
    uint32_t size = 0;
    const Glicko2Player* entry = nullptr;
    std::unique_ptr<Glicko2Player[]> results;

    bool Load(const Glicko2Team& team) {
        size = team.player_count;
        entry = team.players;
        results = Rating::TryAllocate<Glicko2Player>(size);
        return results != nullptr;
    }

    void Store(Glicko2Team& team) const {
        for (uint32_t i = 0; i < size; ++i) {
            team.players[i] = results[i];
        }
    }
};

// Rates every player of `team` against the entry values of `others`. False as
// soon as one player cannot be rated.
bool RateTeam(const Glicko2Config& config, TeamScratch& team, const TeamScratch& others,
              double score) {
    auto games = Rating::TryAllocate<Glicko2Opponent>(others.size);
    if (!games) {
        return false;
    }
    for (uint32_t j = 0; j < others.size; ++j) {
        const Glicko2Player& opponent = others.entry[j];
        games[j] = {opponent.rating, opponent.deviation, opponent.volatility, score};
    }
    for (uint32_t i = 0; i < team.size; ++i) {
        if (!Glicko2RatePlayer(config, team.entry[i], games.get(), others.size, &team.results[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool Glicko2Update(double tau, Glicko2Team* teams, uint32_t num_teams) {
    if (num_teams < 2) {
        return true;
    }
    if (num_teams > 2 || teams == nullptr) {
        return false;
    }
    Glicko2Team& a = teams[0];
    Glicko2Team& b = teams[1];
    if (!Rating::HasPlayers(a) || !Rating::HasPlayers(b)) {
        return false;
    }
    const Glicko2Config config = {kGlicko2Scale, tau, kGlicko2Epsilon};
    TeamScratch scratch_a;
    TeamScratch scratch_b;
    if (!scratch_a.Load(a) || !scratch_b.Load(b) ||
        !RateTeam(config, scratch_a, scratch_b, Rating::ActualScore(a.rank, b.rank)) ||
        !RateTeam(config, scratch_b, scratch_a, Rating::ActualScore(b.rank, a.rank))) {
        return false;
    }
    scratch_a.Store(a);
    scratch_b.Store(b);
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
