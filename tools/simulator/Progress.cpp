#include "Progress.h"

#include <algorithm>
#include <cstdio>

namespace KRSimulator {

uint32_t RunTimeBoundMs(const SimulationOptions& options) {
    // Accept and start windows with their final-heartbeat grace, and one
    // keep-alive to learn of each step.
    const uint64_t windows = 2 * (20000 + 10000) + 2ull * HeartbeatMs(options);
    const uint64_t timeout =
        options.matchmaking_timeout_ms != 0 ? options.matchmaking_timeout_ms : options.max_time_ms;
    const uint64_t attempts = options.requeue + 1ull;
    const uint64_t bound = options.join_spread_ms + attempts * (timeout + windows) +
                           options.requeue * static_cast<uint64_t>(options.think_ms);
    return static_cast<uint32_t>(std::min<uint64_t>(bound, options.max_time_ms));
}

double EstimateRemainingWallMs(const ProgressCounts& counts, uint32_t run_time_bound_ms) {
    if (counts.run_time_ms == 0) {
        return 0.0;
    }
    const double wall_per_run_ms = counts.wall_ms / counts.run_time_ms;
    double remaining =
        wall_per_run_ms *
        (run_time_bound_ms > counts.run_time_ms ? run_time_bound_ms - counts.run_time_ms : 0);
    // Once a twentieth of the players is done, their pace is the better guess.
    if (counts.players != 0 && counts.done * 20 >= counts.players && counts.done != 0) {
        const double by_players =
            counts.wall_ms * (counts.players - counts.done) / static_cast<double>(counts.done);
        remaining = std::min(remaining, by_players);
    }
    return remaining;
}

std::string ProgressLine(const ProgressCounts& counts, uint32_t run_time_bound_ms) {
    char line[320];
    std::snprintf(line, sizeof line,
                  "[wall %6.1fs | run %7.1fs] not joined %u, searching %u, in a match %u, "
                  "restarting %u, done %u/%u | matches found %u, started %u | about %.0fs left",
                  counts.wall_ms / 1000.0, counts.run_time_ms / 1000.0, counts.not_joined,
                  counts.searching, counts.in_match, counts.restarting, counts.done, counts.players,
                  counts.matches_found, counts.matches_started,
                  EstimateRemainingWallMs(counts, run_time_bound_ms) / 1000.0);
    return line;
}

}  // namespace KRSimulator
