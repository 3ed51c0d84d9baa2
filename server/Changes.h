#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "Context.h"

namespace KRHalyardServer {

// The records one step changes, staged and then committed at once. Every
// staged ticket gets its next due time; a change its status shows also gets
// the next "seq" and the identity's next event number, which is what pushes
// it to the player's event streams.
class Changes {
public:
    explicit Changes(Context& context) : context_(context) {}

    void Put(Ticket ticket, bool visible);
    void Put(Match match) { batch_.matches.push_back(std::move(match)); }
    void Drop(const Ticket& ticket) {
        batch_.dropped_tickets.push_back({ticket.id, ticket.version});
    }
    void Drop(const Match& match) { batch_.dropped_matches.push_back({match.id, match.version}); }

    // The party as this step sees it (read once, then staged); null when
    // there is none. Pass create to start one.
    Party* PartyFor(const std::string& id, const std::string& hopper_id, bool create);
    // Takes a finished or leaving ticket out of its party.
    void LeaveParty(const Ticket& ticket);
    // The party's member list changed: every member's status shows it, so
    // every member not staged otherwise gets a new "seq" at the commit.
    void TouchParty(const std::string& id) { touched_parties_.insert(id); }

    // Finished (expired or cancelled): the ticket leaves its match, its pool
    // and its party, and answers until its retention ends.
    void Finish(Ticket ticket, TicketState state);
    // Back in the pool at its old queue position, which is ahead of every
    // ticket that came after it.
    void Requeue(Ticket ticket);

    // Runs after a successful commit only (counters, for instance).
    void AfterCommit(std::function<void()> step) { after_commit_.push_back(std::move(step)); }

    bool Commit();

private:
    Context& context_;
    Batch batch_;
    std::vector<std::function<void()>> after_commit_;
    std::map<std::string, std::optional<Party>> parties_;
    std::set<std::string> touched_parties_;
};

// When a clock next has to look at the ticket, by its state: the keep-alive
// deadline, the hopper's longest wait, or the end of retention.
int64_t TicketDue(const Context& context, const Ticket& ticket);

}  // namespace KRHalyardServer
