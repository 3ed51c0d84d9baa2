#pragma once

// What a session produced: the raw record of every attempt and state change,
// and the figures derived from it for people (SummaryFormat.h) and files
// (CsvOutput.h, EventsOutput.h, HtmlReport.h).

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Players.h"

namespace KRSimulator {

// Nearest-rank percentiles of a set of durations in milliseconds.
struct Percentiles {
    uint32_t count = 0;
    uint32_t p50 = 0;
    uint32_t p90 = 0;
    uint32_t p99 = 0;
    uint32_t max = 0;
};
Percentiles PercentilesOf(std::vector<uint32_t> values);

// Waits from joining (of the attempt) to the first match, to everyone having
// accepted, and to the started match, for one group of attempts.
struct WaitFigures {
    std::string group;  // "all", "leader", "follower", "accept", "decline", "no_answer"
    Percentiles to_match;
    Percentiles to_accept;
    Percentiles to_start;
};

// One state change of one player, on run time.
struct StateEvent {
    uint32_t ms;
    uint32_t player;   // 0-based
    uint32_t attempt;  // 1-based
    int32_t state;
};

// What happened to one player over all its attempts, in player order.
struct PlayerResult {
    Behaviour behaviour = Behaviour::kAccept;
    uint32_t attempts = 0;
    int32_t final_state = 0;
    // From its first join to its started match; -1 when it never played.
    int64_t first_join_to_start_ms = -1;
};

struct SimulationSummary {
    // ---- The session ----
    uint32_t players = 0;
    std::string hopper_id;
    int32_t match_size = 0;
    uint64_t seed = 0;
    uint32_t requeue = 0;
    uint32_t heartbeat_ms = 0;
    std::vector<std::string> faults;  // "keepalive:5xx=0.05", ...
    std::map<std::string, uint32_t> behaviours;
    std::vector<std::string> warnings;

    // ---- Raw record ----
    std::vector<Attempt> attempts;  // in the order they began
    std::vector<PlayerResult> player_results;
    std::vector<StateEvent> events;

    // ---- Derived figures (DeriveFigures) ----
    uint32_t matches_found = 0;               // distinct match ids that players were matched into
    uint32_t matches_started = 0;             // distinct match ids that reached MMS_MATCH_STARTED
    uint32_t players_in_started_matches = 0;  // attempts that reached MMS_MATCH_STARTED
    // Leaders entered MMS_ACCEPTED_LEADER; followers are the other players of
    // started matches, whether or not they saw MMS_ACCEPTED_FOLLOWER before
    // the leader's start reached them.
    uint32_t leaders = 0;
    uint32_t followers = 0;
    std::vector<WaitFigures> waits;  // groups without attempts left out
    // Accepting players: how many, how many played, and how long from their
    // first join to their started match, requeues included.
    uint32_t accepting_players = 0;
    uint32_t accepting_players_started = 0;
    Percentiles first_join_to_start;
    // Attempts by behaviour and AttemptOutcome.
    std::map<std::string, std::map<std::string, uint32_t>> outcomes;
    std::map<std::string, uint32_t> errors;            // every "error" message, by name
    std::map<std::string, uint32_t> errors_recovered;  // the attempt went on
    std::map<std::string, uint32_t> errors_ended;      // the attempt ended
    std::map<std::string, uint32_t> final_states;
    // Set when waits are mostly keep-alive intervals; empty otherwise.
    std::string keepalive_note;

    // ---- Counted during the run ----
    // Windows of recovery from a 400/504 answer ("Trying to recover"),
    // and how they ended.
    uint32_t recoveries_started = 0;
    uint32_t recoveries_succeeded = 0;
    uint32_t recoveries_failed = 0;
    std::map<std::string, uint32_t> faults_injected;  // "keepalive 503", "accept slow", ...
    uint64_t frames = 0;
    uint32_t run_time_ms = 0;  // simulated (or real, with real_time) time
    double wall_ms = 0.0;
    uint64_t emulator_lines = 0;
    uint64_t log_lines = 0;
    // Players not back in MMS_IDLE when the run ended (safety limit).
    uint32_t players_still_active = 0;
    bool safety_limit_hit = false;
    // End of run: every player idle, no backend task, response or JSON value
    // left alive. Each entry names what broke it; empty when it holds.
    std::vector<std::string> invariant_violations;
    // Why the recorded player's scenario could not be written; "" when it was
    // or none was asked for.
    std::string recording_error;

    uint32_t total_errors() const;
    uint32_t total_faults() const;
};

// Fills the derived figures from the raw record.
void DeriveFigures(SimulationSummary* summary);

// The sum of a tally's counts.
uint32_t TotalOf(const std::map<std::string, uint32_t>& counts);

}  // namespace KRSimulator
