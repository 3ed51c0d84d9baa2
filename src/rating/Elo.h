#pragma once

#include <cstdint>

#include "KRMatchmakingSystem.h"

namespace KRMatchmakingSystem {

// Team Elo update for a two-team match: each team counts as the mean rating of
// its players, and each player moves by his own K factor times the team's
// surprise. Both expected scores come from the ratings on entry.
//
// num_teams 1: true, nothing changed. num_teams 2: both teams updated, true.
// false with every record untouched for num_teams 0 or 3 and more, a team
// without players, or input whose new ratings would not be finite.
bool EloUpdate(EloTeam* teams, uint32_t num_teams);

}  // namespace KRMatchmakingSystem
