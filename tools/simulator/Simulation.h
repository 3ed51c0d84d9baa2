#pragma once

// A whole matchmaking session of many players on the in-process backend
// emulator: options in, summary out. The command line (CommandLine.h), the
// report printers (Report.h), the tests and the throughput benchmark all use
// this one entry point.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "emulator/Hopper.h"

namespace KRSimulator {

// How a player answers a match that was found for it.
enum class Behaviour {
    kAccept,    // accepts by itself (MMF_AUTO_ACCEPT)
    kDecline,   // declines as soon as it sees the match
    kNoAnswer,  // never answers, so its accept timeout fires
};
const char* BehaviourName(Behaviour behaviour);

// The emulator's three hoppers and their fixed match sizes.
using HopperChoice = KRHalyardEmulator::KnownHopper;
using KRHalyardEmulator::KnownHoppers;
// The hopper id for a match size of 1, 2 or 10; null for any other size.
const char* HopperIdForSize(int32_t match_size);

struct SimulationOptions {
    uint32_t players = 20;
    std::string hopper_id = HopperIdForSize(10);
    // Fractions of the players that decline or never answer; the rest accept.
    double decline_fraction = 0.0;
    double no_answer_fraction = 0.0;
    uint64_t seed = 1;

    // MMF_LOG_ bits of the matchmakers; their lines go to on_log_line.
    uint32_t log_flags = 0;
    // Leaders start their match by themselves (MMF_AUTO_START) instead of
    // calling krmm_start_match with join info after start_delay_ms.
    bool auto_start = false;
    // Drive the real clock (and sleep one frame step per frame) instead of
    // simulated time.
    bool real_time = false;

    uint32_t frame_ms = 16;
    // Each player joins at a seeded moment in [0, join_spread_ms].
    uint32_t join_spread_ms = 5000;
    // Time a leader takes to find a server before starting the match.
    uint32_t start_delay_ms = 2000;
    // Per-player matchmaking timeout; 0 disables it. Shorter than the
    // library's three hours, so that players left without a match give up
    // well within a run.
    uint32_t matchmaking_timeout_ms = 120000;
    // Keep-alive interval; 0 keeps the library's default.
    uint32_t heartbeat_ms = 0;
    // Safety limit: a run still going after this much time has failed.
    uint32_t max_time_ms = 600000;

    // A progress line every this many milliseconds of run time; 0: none.
    uint32_t progress_every_ms = 10000;
    std::function<void(const std::string& line)> on_progress;
    // Matchmaker log lines (only those enabled by log_flags).
    std::function<void(const std::string& line)> on_log_line;
    // The emulator's own lines, newline included. When empty they are only
    // counted.
    std::function<void(const char* line)> on_emulator_line;
};

// Text of the first problem with the options, or "" when they can run.
std::string ValidateOptions(const SimulationOptions& options);

struct TimeStats {
    uint32_t count = 0;
    uint32_t min_ms = 0;
    uint32_t max_ms = 0;
    double mean_ms = 0.0;
};

// What happened to one player, in player order.
struct PlayerResult {
    Behaviour behaviour = Behaviour::kAccept;
    uint32_t joined_at_ms = 0;
    bool matched = false;         // reached MMS_MATCHED at least once
    bool leader = false;          // reached MMS_ACCEPTED_LEADER
    bool match_started = false;   // reached MMS_MATCH_STARTED
    std::string match_id;         // of the started match, else of the last match found
    int32_t users_in_match = 0;   // krmm_get_match_info_num_users when the match started
    std::vector<int32_t> errors;  // codes of the "error" messages, in order
    int32_t final_state = 0;
};

struct SimulationSummary {
    uint32_t players = 0;
    std::string hopper_id;
    int32_t match_size = 0;
    uint64_t seed = 0;
    std::map<std::string, uint32_t> behaviours;  // by BehaviourName

    uint32_t matches_found = 0;    // distinct match ids that players were matched into
    uint32_t matches_started = 0;  // distinct match ids that reached MMS_MATCH_STARTED
    uint32_t players_in_started_matches = 0;
    // Leaders entered MMS_ACCEPTED_LEADER; followers are the other players of
    // started matches, whether or not they saw MMS_ACCEPTED_FOLLOWER before
    // the leader's start reached them.
    uint32_t leaders = 0;
    uint32_t followers = 0;
    TimeStats time_to_match;  // from joining to the first MMS_MATCHED
    TimeStats time_to_start;  // from joining to MMS_MATCH_STARTED

    std::map<std::string, uint32_t> errors;        // by krmm_error_code_to_str
    std::map<std::string, uint32_t> final_states;  // by krmm_matchmaking_state_to_str

    uint64_t frames = 0;
    uint32_t run_time_ms = 0;  // simulated (or real, with real_time) time
    double wall_ms = 0.0;
    uint64_t emulator_lines = 0;
    uint64_t log_lines = 0;
    // Players that had not joined or were not back in MMS_IDLE when the run
    // ended; non-zero only when the safety limit stopped the run.
    uint32_t players_still_active = 0;
    bool safety_limit_hit = false;

    std::vector<PlayerResult> player_results;

    uint32_t total_errors() const;
};

// Runs one session. False with *error set when the options are invalid or the
// players cannot be created; a run stopped by the safety limit returns true
// with safety_limit_hit set. Uses the process-wide emulator and, unless
// real_time, the process-wide test clock: one run at a time per process.
bool RunSimulation(const SimulationOptions& options, SimulationSummary* summary,
                   std::string* error);

}  // namespace KRSimulator
