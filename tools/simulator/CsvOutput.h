#pragma once

// --csv FILE: one row per player attempt.

#include <ostream>

#include "Summary.h"

namespace KRSimulator {

// The header row. Times are seconds of run time (since the run began), empty
// when the attempt never got there:
//   player       1-based player number
//   attempt      1-based attempt of that player (requeues count up)
//   behaviour    accept, decline or no_answer
//   joined       when the attempt asked for a ticket
//   ticket       the backend's ticket (matchable id), empty if none arrived
//   matched      first MMS_MATCHED of the attempt
//   accepted     first known accepted by everyone: MMS_ACCEPTED_LEADER or
//                _FOLLOWER, or MMS_MATCH_STARTED when the start told it
//   started      MMS_MATCH_STARTED
//   role         leader, follower or empty
//   final_state  the last active state of the attempt before it wound down
//   error        the error that ended the attempt, empty when none did
//   match_id     the match started, else the last one found; empty for none
//   match_players  that match's player count
extern const char kCsvHeader[];

void WriteCsv(const SimulationSummary& summary, std::ostream& out);

}  // namespace KRSimulator
