#pragma once

// What a session produced: the raw record of every attempt and state change,
// and the figures derived from it for people (SummaryFormat.h) and files
// (CsvOutput.h, EventsOutput.h, HtmlReport.h).

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Players.h"
#include "RecoveryWatch.h"

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

// The points an attempt's waits run to from its join.
enum class Wait { kToMatch, kToAccept, kToStart };
// Milliseconds from the attempt's join to that point; -1 when it never got
// there.
int64_t WaitOf(const Attempt& attempt, Wait wait);

// A match that players were matched into.
struct MatchRecord {
    std::string id;
    int32_t players = 0;   // its player count, as its members read it
    bool started = false;  // a member reached MMS_MATCH_STARTED in it
};

// One state change of one player, on run time.
struct StateEvent {
    uint32_t ms;
    uint32_t player;   // 0-based
    uint32_t attempt;  // 1-based
    int32_t state;
    int32_t match;  // index in the matches of the match the player's status names; -1: none
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
    uint32_t accept_timeout_ms = 0;
    uint32_t start_timeout_ms = 0;
    std::vector<std::string> faults;  // "keepalive:5xx=0.05", ...
    std::map<std::string, uint32_t> behaviours;
    std::vector<std::string> warnings;

    // ---- Raw record ----
    std::vector<Attempt> attempts;  // in the order they began
    std::vector<PlayerResult> player_results;
    std::vector<StateEvent> events;
    std::vector<MatchRecord> matches;  // in the order players first met them

    // ---- Derived figures (DeriveFigures) ----
    uint32_t matches_found = 0;  // matches.size()
    uint32_t matches_started = 0;
    uint32_t players_in_started_matches = 0;  // attempts that reached MMS_MATCH_STARTED
    // Started matches that not all their players reached, and the players
    // that did not (their attempt had ended before the start).
    uint32_t started_matches_missing_players = 0;
    uint32_t players_missing_from_started_matches = 0;
    // The players of started matches (leaders + followers =
    // players_in_started_matches), and leaders whose match never started.
    uint32_t leaders = 0;
    uint32_t followers = 0;
    uint32_t leaders_not_started = 0;
    // Followers whose leader's attempt ended without starting the match,
    // while they waited on in MMS_ACCEPTED_FOLLOWER: how many, and how long
    // they waited after the leader had gone.
    Percentiles followers_left_waiting;
    std::vector<WaitFigures> waits;  // groups without attempts left out, but "all"
    // Accepting players: how many, how many played, and how long from their
    // first join to their started match, requeues included.
    uint32_t accepting_players = 0;
    uint32_t accepting_players_started = 0;
    Percentiles first_join_to_start;
    // Attempts by behaviour and AttemptOutcome.
    std::map<std::string, std::map<std::string, uint32_t>> outcomes;
    // Every "error" message by name, and the same split by ErrorRole.
    std::map<std::string, uint32_t> errors;
    std::map<std::string, uint32_t> errors_went_on;
    std::map<std::string, uint32_t> errors_ended;
    std::map<std::string, uint32_t> errors_after_end;
    std::map<std::string, uint32_t> final_states;
    // Of the started attempts' time to start, the share that went by after
    // their match had been found, accepted or started, until a keep-alive
    // answer told them; -1 when no attempt started.
    double keepalive_share = -1.0;
    // Set when that share is at least half; empty otherwise.
    std::string keepalive_note;

    // ---- Counted during the run ----
    RecoveryCounts recoveries;
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
    // The recorded player's exchanges as a loopback scenario (JSON); "" when
    // none was asked for.
    std::string recorded_scenario;

    uint32_t total_errors() const;
    uint32_t total_faults() const;
};

// Fills the derived figures from the raw record.
void DeriveFigures(SimulationSummary* summary);

// The sum of a tally's counts.
uint32_t TotalOf(const std::map<std::string, uint32_t>& counts);

}  // namespace KRSimulator
