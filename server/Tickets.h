#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Context.h"
#include "Formation.h"

namespace KRHalyardServer {

// Why a step was refused; the routes give each its HTTP status.
enum class Refusal {
    kNone,
    kBadInput,   // 400
    kForbidden,  // 403: another identity's ticket, or not the match's leader
    kNotFound,   // 404: no such ticket, or no such hopper
    kConflict,   // 409: not possible in the ticket's present state
};

struct Outcome {
    Refusal refusal = Refusal::kNone;
    std::string error;             // a short code for the error body
    std::string message;           // what a person reads
    std::optional<Ticket> ticket;  // the ticket after the step

    static Outcome Refuse(Refusal refusal, std::string error, std::string message);
};

// What a ticket request carries, as the matchmaker's ticket task sends it.
struct TicketRequest {
    std::string hopper_id;
    std::string group_id;         // join this party
    std::string second_group_id;  // open this party...
    int64_t group_size = 0;       // ...of this many players
    std::string attributes;       // JSON texts, "" for none
    std::string values;
};

// The ticket requests: each reads, decides, and commits its records at once
// (tried again when the store reports a concurrent change). Steps that make
// no sense in the ticket's present state change nothing and answer its
// status, so a late request never leaves a player stuck.
class Tickets {
public:
    Tickets(Context& context, Formation& formation) : context_(context), formation_(formation) {}

    Outcome Create(const std::string& identity, const TicketRequest& request);
    // The first keep-alive puts the ticket in its hopper's pool.
    Outcome KeepAlive(const std::string& identity, const std::string& id);
    Outcome Accept(const std::string& identity, const std::string& id);
    // Hard: the ticket is cancelled and its match, if any, dissolves with
    // everyone else going back to the pool. Soft: only a match dissolves,
    // every member (this one too) going back.
    Outcome Cancel(const std::string& identity, const std::string& id, bool soft);
    // Only the leader starts, once everyone has accepted.
    Outcome Start(const std::string& identity, const std::string& id, const std::string& join_info);
    // The ticket, read only, if it is the identity's.
    Outcome Owned(const std::string& identity, const std::string& id);
    // True when the ticket's previous keep-alive is at least the keep-alive
    // pace ago: such a keep-alive is never refused for the request rate.
    bool KeepAliveIsPaced(const std::string& identity, const std::string& id);

private:
    Outcome Read(const std::string& identity, const std::string& id);
    Outcome Answer(const std::string& id);
    // Reads the identity's ticket and tries the step on it; the step answers
    // nothing when its commit met a concurrent change, and is tried again.
    template <typename TryStep>
    Outcome Step(const std::string& identity, const std::string& id, TryStep try_step);
    std::optional<Outcome> TryCreate(const std::string& identity, const TicketRequest& request);
    std::optional<Outcome> TryKeepAlive(Ticket ticket);
    std::optional<Outcome> TryAccept(const Ticket& ticket);
    std::optional<Outcome> TryCancel(const Ticket& ticket, bool soft);
    std::optional<Outcome> TryStart(const Ticket& ticket, const std::string& join_info);

    Context& context_;
    Formation& formation_;
};

}  // namespace KRHalyardServer
