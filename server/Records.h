#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace KRHalyardServer {

// Where a ticket stands; the status body carries StateText of it.
enum class TicketState {
    kInitialWaiting,  // ticket given, no keep-alive yet: not in the pool
    kMatching,        // in its hopper's pool
    kMatched,
    kAccepted,
    kMatchStarted,
    kExpired,
    kCancelled,
};

const char* StateText(TicketState state);

// Started, expired and cancelled tickets only answer until their retention ends.
bool IsFinished(TicketState state);

// One player's place in matchmaking. Its id is also the matchable id of its
// status.
struct Ticket {
    std::string id;
    std::string identity;
    std::string hopper_id;
    std::string party_id;    // the group the player plays in; empty alone
    std::string attributes;  // JSON texts from the ticket request, "" for none
    std::string values;
    TicketState state = TicketState::kInitialWaiting;
    uint32_t seq = 1;       // +1 for every change its status shows
    uint64_t event_id = 0;  // the identity's event number of that change
    int64_t created_ms = 0;
    int64_t queued_ms = 0;  // pool order, oldest first; kept when re-queued
    int64_t keepalive_ms = 0;
    int64_t ends_ms = 0;  // end of retention once finished
    int64_t due_ms = 0;   // when a clock next looks at it (0: never)
    std::string match_id;
    uint64_t version = 0;  // the store's; 0 for a record not yet stored
};

struct MatchMember {
    std::string ticket;
    std::string identity;
    std::string party_id;
    std::string attributes;
    std::string values;
};

enum class MatchPhase {
    kAccepting,  // waiting for every member's accept
    kStarting,   // everyone accepted; waiting for the leader's start
    kStarted,
};

struct Match {
    std::string id;
    std::string hopper_id;
    // Teams in the order the status body lists them; every member's
    // matchmaker takes the last member of the last team as leader.
    std::vector<std::vector<MatchMember>> teams;
    std::vector<std::string> accepted;  // tickets, in the order they accepted
    MatchPhase phase = MatchPhase::kAccepting;
    std::string join_info;  // JSON text from the leader's start
    int64_t formed_ms = 0;
    int64_t due_ms = 0;  // end of the current window, or of retention once started
    uint64_t version = 0;

    const MatchMember* Leader() const;
    const MatchMember* Find(const std::string& ticket) const;
    bool HasAccepted(const std::string& ticket) const;
    std::vector<const MatchMember*> Members() const;
};

// A group that queues as one: opened by a ticket with the second group id
// and a size, joined by tickets with the group id.
struct Party {
    std::string id;
    std::string hopper_id;
    int32_t size = 0;                  // 0 until the opening ticket arrives
    std::vector<std::string> tickets;  // in the order they joined
    std::vector<std::string> identities;
    uint64_t version = 0;

    bool Complete() const { return size > 0 && static_cast<int32_t>(tickets.size()) == size; }
};

}  // namespace KRHalyardServer
