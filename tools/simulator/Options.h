#pragma once

// What a simulated session is asked to do: the players, the hopper, the
// backend's faults, the clocks and where its lines go. The command line
// (CommandLine.h) fills it; tests and the benchmark fill it directly.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "emulator/Faults.h"
#include "emulator/Hopper.h"

namespace KRSimulator {

// The emulator's three hoppers and their fixed match sizes.
using HopperChoice = KRHalyardEmulator::KnownHopper;
using KRHalyardEmulator::KnownHoppers;
// The hopper id for a match size of 1, 2 or 10; null for any other size.
const char* HopperIdForSize(int32_t match_size);

// Limits the options are checked against; error texts name them.
constexpr uint32_t kMaxPlayers = 100000;
constexpr uint32_t kMaxRequeue = 100;
constexpr uint32_t kMaxTimeMs = 86400000;  // one day

struct SimulationOptions {
    uint32_t players = 20;
    std::string hopper_id = HopperIdForSize(10);
    // Fractions of the players that decline or never answer; the rest accept.
    double decline_fraction = 0.0;
    double no_answer_fraction = 0.0;
    uint64_t seed = 1;

    // A player whose attempt ended without a started match joins again after
    // a think time drawn from [0, think_ms], at most this many times.
    uint32_t requeue = 0;
    uint32_t think_ms = 3000;

    // Backend faults, drawn from the seed; empty: the emulator answers every
    // request at once with 200.
    std::vector<KRHalyardEmulator::FaultRule> faults;
    // A slow answer is pending for up to this long; a request the backend
    // never answers is given up (timed out) after give_up_ms.
    uint32_t slow_max_ms = 5000;
    uint32_t give_up_ms = 30000;

    // The player (1-based; 0: none) whose exchanges with the emulator are
    // kept, for the summary's recorded_scenario.
    uint32_t record_player = 0;

    // MMF_LOG_ bits of the matchmakers; their lines go to on_log_line.
    uint32_t log_flags = 0;
    // Leaders start their match by themselves (MMF_AUTO_START) instead of
    // calling krmm_start_match with join info after start_delay_ms.
    bool auto_start = false;
    // Drive the real clock (and sleep one frame step per frame) instead of
    // simulated time.
    bool real_time = false;
    // The matchmaking service to play against instead of the emulator: one
    // URL or several, comma-separated; "" for the emulator. Each player gets
    // a networked client with its own token from the service's /v1/sessions
    // (run it with --dev-sessions). Implies real_time; faults are the
    // emulator's, so they stay offline.
    std::string backend;

    uint32_t frame_ms = 16;
    // Each player joins at a seeded moment in [0, join_spread_ms].
    uint32_t join_spread_ms = 5000;
    // Time a leader takes to find a server before starting the match.
    uint32_t start_delay_ms = 2000;
    // Per-player matchmaking timeout; 0 disables it. Shorter than the
    // library's three hours, so that players left without a match give up
    // well within a run.
    uint32_t matchmaking_timeout_ms = 120000;
    // The window to accept a found match and the one to start an accepted
    // match (0 disables each); the library's 20 s by default.
    uint32_t accept_timeout_ms = 20000;
    uint32_t start_timeout_ms = 20000;
    // Keep-alive interval; 0 keeps the library's default (17 s).
    uint32_t heartbeat_ms = 0;
    // Safety limit: a run still going after this much time has failed.
    uint32_t max_time_ms = 600000;

    // A progress line every this many milliseconds of wall time; 0: none.
    uint32_t progress_every_ms = 1000;
    std::function<void(const std::string& line)> on_progress;
    // Matchmaker log lines (only those enabled by log_flags).
    std::function<void(const std::string& line)> on_log_line;
    // The emulator's own lines, newline included. When empty they are only
    // counted.
    std::function<void(const char* line)> on_emulator_line;
};

inline bool RunsOnRealTime(const SimulationOptions& options) {
    return options.real_time || !options.backend.empty();
}

// The library's keep-alive interval, used when heartbeat_ms is 0.
constexpr uint32_t kLibraryHeartbeatMs = 17000;
inline uint32_t HeartbeatMs(const SimulationOptions& options) {
    return options.heartbeat_ms != 0 ? options.heartbeat_ms : kLibraryHeartbeatMs;
}

// Text of the first problem with the options, or "" when they can run.
std::string ValidateOptions(const SimulationOptions& options);
// Things that will run but probably not as meant (players that cannot fill
// one match of the hopper).
std::vector<std::string> OptionWarnings(const SimulationOptions& options);

}  // namespace KRSimulator
