#pragma once

// A whole matchmaking session of many players on the in-process backend
// emulator: options in, summary out. The command line, the output writers,
// the tests and the throughput benchmark all use this one entry point.

#include <string>

#include "Options.h"
#include "Players.h"
#include "Summary.h"

namespace KRSimulator {

// Runs one session. False with *error set when the options are invalid or the
// players cannot be created. A run stopped by the safety limit, or one that
// leaves a player outside MMS_IDLE or a backend object alive, returns true
// with safety_limit_hit or invariant_violations set. Uses the process-wide
// emulator and, unless real_time, the process-wide test clock: one run at a
// time per process.
bool RunSimulation(const SimulationOptions& options, SimulationSummary* summary,
                   std::string* error);

}  // namespace KRSimulator
