#pragma once

#include <cstddef>
#include <cstdint>

#include "KRMatchmakingSystem.h"

namespace KRMatchmakingSystem {

// Factor between the Glicko scale (centred on 1500) and the Glicko-2 scale.
constexpr double kGlicko2Scale = 173.7178;
// Convergence tolerance of the volatility iteration.
constexpr double kGlicko2Epsilon = 0.000001;

// The parameters of one rating period.
struct Glicko2Config {
    double scale;
    double tau;  // system constant: how far volatility may move in one period
    double epsilon;
};

// One game of a rating period, seen from the rated player's side.
struct Glicko2Opponent {
    double rating;
    double deviation;
    double volatility;  // carried along, never used by the step
    double score;       // 1.0 win, 0.5 draw, 0.0 loss
};

// One Glicko-2 rating period for a single player against the given games.
// Writes *result and returns true; returns false without writing when there
// are no games, when the input cannot be rated (tau or epsilon not positive,
// a value not finite, volatility not positive, a negative deviation), when
// the games carry no information (every result beyond doubt), when the
// volatility iteration does not settle or when a new value would not be
// finite.
bool Glicko2RatePlayer(const Glicko2Config& config, const Glicko2Player& player,
                       const Glicko2Opponent* opponents, std::size_t opponent_count,
                       Glicko2Player* result);

// Two-team update: every player of a team plays one game against every player
// of the other team, scored by the team result; all games read the ratings as
// they were on entry.
//
// num_teams 0 or 1: true, nothing changed. num_teams 2: both teams updated,
// true. false with every record untouched for 3 or more teams, an empty team,
// or input a rating period cannot handle (see Glicko2RatePlayer).
bool Glicko2Update(double tau, Glicko2Team* teams, uint32_t num_teams);

// Rates the published worked example (tau 0.5) and checks the outcome against
// its known figures; true when all three land within tolerance.
bool RunGlicko2SelfTest();

}  // namespace KRMatchmakingSystem
