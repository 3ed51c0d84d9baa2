#pragma once

#include <cstdint>

#include "KRMatchmakingSystem.h"

namespace KRMatchmakingSystem {

// Bayesian skill update (Bradley-Terry, every pair of teams compared) for two
// or more teams. A team's skill is the sum of its players' normal
// distributions; each player takes the team's correction in proportion to his
// share of the team's variance. Every team is compared against the other
// teams' values on entry, so the result does not depend on team order.
//
// beta_squared is the squared performance spread of the model. num_teams 0 or
// 1: true, nothing changed. Otherwise all teams are updated and true is
// returned, or false with every record untouched when a team has no players
// or a new value would not be finite.
bool BayesianUpdate(double beta_squared, BayesianTeam* teams, uint32_t num_teams);

}  // namespace KRMatchmakingSystem
