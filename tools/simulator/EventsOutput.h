#pragma once

// --events FILE: the state changes of every player as JSON lines.

#include <ostream>

#include "Summary.h"

namespace KRSimulator {

// One object per line, in the order they happened:
//   {"t":12.345,"player":7,"attempt":1,"state":"MMS_MATCHED",
//    "match_id":"<uuid>","match_players":10}
// t: seconds of run time; player and attempt: 1-based; state: the state
// entered, by its MMS_ name; match_id and match_players: the match the
// player's status named then and its player count, null for none.
void WriteEvents(const SimulationSummary& summary, std::ostream& out);

}  // namespace KRSimulator
