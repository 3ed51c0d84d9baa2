#pragma once

// The simulated players: how each answers a match, and what one attempt of
// one player (from joining the queue to being idle again) went through.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "KRMatchmakingSystem.h"
#include "Options.h"

namespace KRSimulator {

// How a player answers a match that was found for it.
enum class Behaviour {
    kAccept,    // accepts by itself (MMF_AUTO_ACCEPT)
    kDecline,   // declines as soon as it sees the match
    kNoAnswer,  // never answers, so its accept timeout fires
};
// "accept", "decline", "no_answer".
const char* BehaviourName(Behaviour behaviour);

// The options' fractions of decliners and silent players, at seeded positions
// so that decliners are not simply the first players to join.
std::vector<Behaviour> AssignBehaviours(const SimulationOptions& options,
                                        std::mt19937_64& generator);

// The join info a leader starts its match with: where its server is, so that
// the followers can join.
std::string LeaderJoinInfo(uint32_t player);  // 0-based

enum class Role { kNone, kLeader, kFollower };
// "", "leader", "follower".
const char* RoleName(Role role);

// What an "error" message turned out to be for its attempt.
enum class ErrorRole {
    kWentOn,    // the attempt went on after it (matchmaking continued)
    kEnded,     // it ended the attempt (at most one per attempt): the first
                // error of the call in which the attempt wound down, else the
                // last one since its last active state
    kAfterEnd,  // raised while the attempt was winding down, as a consequence
};
struct RaisedError {
    int32_t code;
    ErrorRole role;
};

// Run times are milliseconds since the run began; -1: never reached.
struct Attempt {
    uint32_t player = 0;  // 0-based
    uint32_t number = 1;  // 1-based
    Behaviour behaviour = Behaviour::kAccept;
    Role role = Role::kNone;
    uint32_t joined_ms = 0;
    int64_t matched_ms = -1;  // first MMS_MATCHED
    // First known accepted by everyone: MMS_ACCEPTED_LEADER or _FOLLOWER, or
    // MMS_MATCH_STARTED when the start brought that news too.
    int64_t accepted_ms = -1;
    int64_t started_ms = -1;  // MMS_MATCH_STARTED
    int64_t ended_ms = -1;    // wound down: its first state outside the attempt
    // Set by DeriveFigures for a follower waiting on a leader whose start
    // failed: when the leader's attempt ended.
    int64_t left_waiting_ms = -1;
    std::string ticket;  // the matchable id, once a status arrived
    // Index in the session's matches of the started match, else of the last
    // match found; -1 for none.
    int32_t match = -1;
    // The last state before the attempt wound down (MMS_RESTART or idle).
    int32_t last_state = MMS_REQUEST_TICKET;
    std::vector<RaisedError> errors;

    bool started() const { return started_ms >= 0; }
    // The error that ended the attempt, 0 when none did.
    int32_t EndingError() const;
};

// How an attempt ended, for the outcome tallies: "started", the name of the
// error that ended it, "declined" (its own choice, no error) or "stopped".
std::string AttemptOutcome(const Attempt& attempt);

}  // namespace KRSimulator
