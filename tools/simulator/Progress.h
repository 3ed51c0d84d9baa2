#pragma once

// The progress line the simulator prints while a session runs.

#include <cstdint>
#include <string>

#include "Options.h"

namespace KRSimulator {

struct ProgressCounts {
    double wall_ms = 0.0;
    uint32_t run_time_ms = 0;
    uint32_t players = 0;
    uint32_t not_joined = 0;  // waiting to join, first time or again
    uint32_t searching = 0;
    uint32_t in_match = 0;
    uint32_t restarting = 0;
    uint32_t done = 0;
    uint32_t matches_found = 0;
    uint32_t matches_started = 0;
};

// The longest a session can run in simulated time: the last join, every
// attempt running into its matchmaking timeout plus the accept and start
// windows, the think times, capped by the safety limit.
uint32_t RunTimeBoundMs(const SimulationOptions& options);

// Wall time still to go: by the share of players done once a few are, and
// never more than the simulated time left to the bound at the pace so far.
double EstimateRemainingWallMs(const ProgressCounts& counts, uint32_t run_time_bound_ms);

// "[wall 3.0s | run 61.2s] not joined 0, searching ... | about 4s left".
std::string ProgressLine(const ProgressCounts& counts, uint32_t run_time_bound_ms);

}  // namespace KRSimulator
