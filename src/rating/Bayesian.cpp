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

// One team for the length of a call: its values on entry, the corrections it
// collects from the other teams, and where its players sit in the flat player
// scratch.
struct WorkingTeam {
    uint32_t rank;
    uint32_t first;  // index of the team's first player
    uint32_t size;
    double mu;
    double variance;
    double sigma;
    double omega;
    double delta;
};

// Sizes ordinary matches fit in without touching the heap.
constexpr std::size_t kFixedTeams = 8;
constexpr std::size_t kFixedPlayers = 32;

// Compares teams i and q once and gives each its share: c, both exponentials
// and both win probabilities are symmetric in the pair, and each team's
// correction terms come out exactly as if it had been compared alone.
void ComparePair(const BayesianConfig& config, WorkingTeam& i, WorkingTeam& q) {
    const double c = std::sqrt(i.variance + q.variance + 2.0 * config.beta_squared);
    const double exp_i = std::exp(i.mu / c);
    const double exp_q = std::exp(q.mu / c);
    const double p_i = exp_i / (exp_i + exp_q);
    const double p_q = exp_q / (exp_i + exp_q);
    const double ratio_i = i.sigma / c;
    const double ratio_q = q.sigma / c;
    i.omega += i.variance / c * (Rating::ActualScore(i.rank, q.rank) - p_i);
    i.delta += ratio_i * ratio_i * ratio_i * p_i * p_q;
    q.omega += q.variance / c * (Rating::ActualScore(q.rank, i.rank) - p_q);
    q.delta += ratio_q * ratio_q * ratio_q * p_q * p_i;
}

// Spreads the team's corrections over its players. False when a player's new
// values would not be finite.
bool RatePlayers(const BayesianConfig& config, const WorkingTeam& team, const Skill* players,
                 Skill* results) {
    for (uint32_t j = team.first; j < team.first + team.size; ++j) {
        const Skill& player = players[j];
        const double share = player.variance / team.variance;
        double factor = 1.0 - share * team.delta;
        if (!(factor >= config.kappa)) {
            factor = config.kappa;
        }
        const Skill rated = {player.mu + share * team.omega, player.variance * factor};
        if (!std::isfinite(rated.mu) || !std::isfinite(rated.variance)) {
            return false;
        }
        results[j] = rated;
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
    uint32_t player_total = 0;
    for (uint32_t i = 0; i < num_teams; ++i) {
        if (!Rating::HasPlayers(teams[i]) || teams[i].player_count > UINT32_MAX - player_total) {
            return false;
        }
        player_total += teams[i].player_count;
    }
    const BayesianConfig config = {kBayesianKappa, beta_squared};
    Rating::Scratch<WorkingTeam, kFixedTeams> working;
    Rating::Scratch<Skill, kFixedPlayers> players;
    Rating::Scratch<Skill, kFixedPlayers> results;
    if (!working.Reserve(num_teams) || !players.Reserve(player_total) ||
        !results.Reserve(player_total)) {
        return false;
    }

    uint32_t first = 0;
    for (uint32_t i = 0; i < num_teams; ++i) {
        WorkingTeam& team = working[i];
        team = {teams[i].rank, first, teams[i].player_count, 0.0, 0.0, 0.0, 0.0, 0.0};
        for (uint32_t j = 0; j < team.size; ++j) {
            const BayesianPlayer& player = teams[i].players[j];
            players[first + j] = {player.mu, player.sigma * player.sigma};
            team.mu += players[first + j].mu;
            team.variance += players[first + j].variance;
        }
        team.sigma = std::sqrt(team.variance);
        first += team.size;
    }
    // Each team collects its corrections in array order of the other teams,
    // whichever of the pair comes first.
    for (uint32_t i = 0; i < num_teams; ++i) {
        for (uint32_t q = i + 1; q < num_teams; ++q) {
            ComparePair(config, working[i], working[q]);
        }
    }
    for (uint32_t i = 0; i < num_teams; ++i) {
        if (!RatePlayers(config, working[i], players.data(), results.data())) {
            return false;
        }
    }
    for (uint32_t i = 0; i < num_teams; ++i) {
        const WorkingTeam& team = working[i];
        for (uint32_t j = 0; j < team.size; ++j) {
            teams[i].players[j].mu = results[team.first + j].mu;
            teams[i].players[j].sigma = std::sqrt(results[team.first + j].variance);
        }
    }
    return true;
}

}  // namespace KRMatchmakingSystem
