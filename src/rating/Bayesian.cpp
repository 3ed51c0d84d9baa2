#include "rating/Bayesian.h"

#include <cmath>

#include "rating/RatingCommon.h"

namespace KRMatchmakingSystem {

namespace {

struct BayesianConfig {
    // Floor of the variance shrink factor: one match never takes a player's
    // variance below this fraction of what it was.
    double kappa;
    double beta_squared;
};

constexpr double kBayesianKappa = 0.0001;

struct Skill {
    double mu;
    double variance;
};

// One team for the length of a call: its entry values, its players' entry
// values and their results.
struct WorkingTeam {
    uint32_t rank = 0;
    double mu = 0.0;
    double variance = 0.0;
    uint32_t size = 0;
    std::unique_ptr<Skill[]> players;
    std::unique_ptr<Skill[]> results;

    bool Load(const BayesianTeam& team) {
        rank = team.rank;
        size = team.player_count;
        players = Rating::TryAllocate<Skill>(size);
        results = Rating::TryAllocate<Skill>(size);
        if (!players || !results) {
            return false;
        }
        for (uint32_t j = 0; j < size; ++j) {
            const BayesianPlayer& player = team.players[j];
            players[j] = {player.mu, player.sigma * player.sigma};
            mu += players[j].mu;
            variance += players[j].variance;
        }
        return true;
    }

    void Store(BayesianTeam& team) const {
        for (uint32_t j = 0; j < size; ++j) {
            team.players[j].mu = results[j].mu;
            team.players[j].sigma = std::sqrt(results[j].variance);
        }
    }
};

// Corrects team i against every other team and spreads the correction over its
// players. False when a player's new values would not be finite.
bool RateTeam(const BayesianConfig& config, WorkingTeam* teams, uint32_t num_teams, uint32_t i) {
    WorkingTeam& team = teams[i];
    const double sigma = std::sqrt(team.variance);
    double omega = 0.0;
    double delta = 0.0;
    for (uint32_t q = 0; q < num_teams; ++q) {
        if (q == i) {
            continue;
        }
        const WorkingTeam& other = teams[q];
        const double c = std::sqrt(team.variance + other.variance + 2.0 * config.beta_squared);
        const double exp_own = std::exp(team.mu / c);
        const double exp_other = std::exp(other.mu / c);
        const double p_win = exp_own / (exp_own + exp_other);
        const double p_loss = exp_other / (exp_own + exp_other);
        const double ratio = sigma / c;
        omega += team.variance / c * (Rating::ActualScore(team.rank, other.rank) - p_win);
        delta += ratio * ratio * ratio * p_win * p_loss;
    }
    for (uint32_t j = 0; j < team.size; ++j) {
        const Skill& player = team.players[j];
        const double share = player.variance / team.variance;
        double factor = 1.0 - share * delta;
        if (!(factor >= config.kappa)) {
            factor = config.kappa;
        }
        const Skill rated = {player.mu + share * omega, player.variance * factor};
        if (!std::isfinite(rated.mu) || !std::isfinite(rated.variance)) {
            return false;
        }
        team.results[j] = rated;
    }
    return true;
}

}  // namespace

bool BayesianUpdate(double beta_squared, BayesianTeam* teams, uint32_t num_teams) {
    if (num_teams < 2) {
        return true;
    }
    if (teams == nullptr) {
        return false;
    }
    for (uint32_t i = 0; i < num_teams; ++i) {
        if (!Rating::HasPlayers(teams[i])) {
            return false;
        }
    }
    const BayesianConfig config = {kBayesianKappa, beta_squared};
    auto working = Rating::TryAllocate<WorkingTeam>(num_teams);
    if (!working) {
        return false;
    }
    for (uint32_t i = 0; i < num_teams; ++i) {
        if (!working[i].Load(teams[i])) {
            return false;
        }
    }
    for (uint32_t i = 0; i < num_teams; ++i) {
        if (!RateTeam(config, working.get(), num_teams, i)) {
            return false;
        }
    }
    for (uint32_t i = 0; i < num_teams; ++i) {
        working[i].Store(teams[i]);
    }
    return true;
}

}  // namespace KRMatchmakingSystem
