#include "Tickets.h"

#include <algorithm>

#include "Changes.h"
#include "Dissolution.h"
#include "Ids.h"

namespace KRHalyardServer {
namespace {

StoreUnavailable Busy() {
    return StoreUnavailable("the store kept changing under the request");
}

bool InMatch(TicketState state) {
    return state == TicketState::kMatched || state == TicketState::kAccepted;
}

}  // namespace

Outcome Outcome::Refuse(Refusal refusal, std::string error, std::string message) {
    Outcome outcome;
    outcome.refusal = refusal;
    outcome.error = std::move(error);
    outcome.message = std::move(message);
    return outcome;
}

Outcome Tickets::Read(const std::string& identity, const std::string& id) {
    std::optional<Ticket> ticket = context_.store.GetTicket(id);
    if (!ticket) {
        return Outcome::Refuse(Refusal::kNotFound, "ticket_not_found",
                               "no such ticket (finished tickets are kept for a while only)");
    }
    if (ticket->identity != identity) {
        return Outcome::Refuse(Refusal::kForbidden, "not_your_ticket",
                               "the ticket belongs to another identity");
    }
    Outcome outcome;
    outcome.ticket = std::move(ticket);
    return outcome;
}

Outcome Tickets::Answer(const std::string& id) {
    Outcome outcome;
    outcome.ticket = context_.store.GetTicket(id);
    if (!outcome.ticket) {
        throw Busy();
    }
    return outcome;
}

Outcome Tickets::Owned(const std::string& identity, const std::string& id) {
    return Read(identity, id);
}

template <typename TryStep>
Outcome Tickets::Step(const std::string& identity, const std::string& id, TryStep try_step) {
    for (int attempt = 0; attempt < kCommitAttempts; ++attempt) {
        Outcome read = Read(identity, id);
        if (read.refusal != Refusal::kNone) {
            return read;
        }
        if (std::optional<Outcome> done = try_step(std::move(*read.ticket))) {
            return *done;
        }
    }
    throw Busy();
}

Outcome Tickets::Create(const std::string& identity, const TicketRequest& request) {
    const Hopper* hopper = context_.hoppers.Find(request.hopper_id);
    if (hopper == nullptr) {
        return Outcome::Refuse(Refusal::kNotFound, "hopper_not_found",
                               "no hopper has the id " + request.hopper_id);
    }
    if (!hopper->enabled) {
        return Outcome::Refuse(Refusal::kConflict, "hopper_disabled",
                               "the hopper takes no tickets at present");
    }
    const bool joins = !request.group_id.empty();
    const bool opens = !request.second_group_id.empty();
    if (joins && opens) {
        return Outcome::Refuse(Refusal::kBadInput, "two_group_ids",
                               "give group_id to join a party or second_group_id to open one, "
                               "not both");
    }
    if ((joins || opens) && !hopper->allow_groups) {
        return Outcome::Refuse(Refusal::kBadInput, "groups_not_allowed",
                               "the hopper takes no groups");
    }
    if (opens && (request.group_size < 1 || request.group_size > hopper->LargestTeam())) {
        return Outcome::Refuse(Refusal::kBadInput, "bad_group_size",
                               "a party needs 1 to " + std::to_string(hopper->LargestTeam()) +
                                   " players, the largest team of the hopper");
    }
    for (int attempt = 0; attempt < kCommitAttempts; ++attempt) {
        if (std::optional<Outcome> done = TryCreate(identity, request)) {
            return *done;
        }
    }
    throw Busy();
}

std::optional<Outcome> Tickets::TryCreate(const std::string& identity,
                                          const TicketRequest& request) {
    const Hopper& hopper = *context_.hoppers.Find(request.hopper_id);
    const int64_t now = context_.Now();
    Ticket ticket;
    ticket.id = NewUuid();
    ticket.identity = identity;
    ticket.hopper_id = hopper.id;
    ticket.party_id = request.group_id.empty() ? request.second_group_id : request.group_id;
    ticket.attributes = request.attributes;
    ticket.values = request.values;
    ticket.seq = 0;
    ticket.created_ms = now;
    ticket.keepalive_ms = now;
    Changes changes(context_);
    if (!ticket.party_id.empty()) {
        Party* party = changes.PartyFor(ticket.party_id, hopper.id, true);
        const std::size_t size = static_cast<std::size_t>(
            !request.second_group_id.empty() ? request.group_size : party->size);
        const std::size_t limit = size != 0 ? size : static_cast<std::size_t>(hopper.LargestTeam());
        if (party->hopper_id != hopper.id) {
            return Outcome::Refuse(Refusal::kConflict, "party_in_other_hopper",
                                   "the party queues in another hopper");
        }
        if (party->size != 0 && static_cast<std::size_t>(party->size) != size) {
            return Outcome::Refuse(Refusal::kConflict, "party_size_mismatch",
                                   "the party was opened with another size");
        }
        if (std::find(party->identities.begin(), party->identities.end(), identity) !=
            party->identities.end()) {
            return Outcome::Refuse(Refusal::kConflict, "already_in_party",
                                   "the identity already has a ticket in the party");
        }
        if (party->tickets.size() >= limit) {
            return Outcome::Refuse(Refusal::kConflict, "party_full", "the party is complete");
        }
        party->size = static_cast<int32_t>(size);
        party->tickets.push_back(ticket.id);
        party->identities.push_back(identity);
        changes.TouchParty(party->id);
    }
    changes.Put(ticket, true);
    if (!changes.Commit()) {
        return std::nullopt;
    }
    context_.metrics.TicketCreated();
    return Answer(ticket.id);
}

Outcome Tickets::KeepAlive(const std::string& identity, const std::string& id) {
    return Step(identity, id, [this](Ticket&& ticket) { return TryKeepAlive(std::move(ticket)); });
}

std::optional<Outcome> Tickets::TryKeepAlive(Ticket ticket) {
    if (IsFinished(ticket.state)) {
        return Answer(ticket.id);
    }
    const bool enters = ticket.state == TicketState::kInitialWaiting;
    ticket.keepalive_ms = context_.Now();
    if (enters) {
        ticket.state = TicketState::kMatching;
        ticket.queued_ms = ticket.keepalive_ms;
    }
    const std::string id = ticket.id;
    const std::string hopper_id = ticket.hopper_id;
    Changes changes(context_);
    changes.Put(std::move(ticket), enters);
    if (!changes.Commit()) {
        return std::nullopt;
    }
    if (enters) {
        formation_.Form(hopper_id);
    }
    return Answer(id);
}

bool Tickets::KeepAliveIsPaced(const std::string& identity, const std::string& id) {
    const std::optional<Ticket> ticket = context_.store.GetTicket(id);
    if (!ticket || ticket->identity != identity) {
        return false;
    }
    return ticket->state == TicketState::kInitialWaiting ||
           context_.Now() - ticket->keepalive_ms >= context_.settings.keepalive_pace_ms;
}

Outcome Tickets::Accept(const std::string& identity, const std::string& id) {
    return Step(identity, id, [this](const Ticket& ticket) { return TryAccept(ticket); });
}

std::optional<Outcome> Tickets::TryAccept(const Ticket& ticket) {
    std::optional<Match> match;
    if (ticket.state == TicketState::kMatched) {
        match = context_.store.GetMatch(ticket.match_id);
    }
    if (!match || match->phase != MatchPhase::kAccepting || match->HasAccepted(ticket.id)) {
        return Answer(ticket.id);  // nothing to accept: the status says where it stands
    }
    match->accepted.push_back(ticket.id);
    const std::vector<const MatchMember*> members = match->Members();
    const bool everyone = match->accepted.size() == members.size();
    if (everyone) {
        match->phase = MatchPhase::kStarting;
        match->due_ms = context_.Now() + context_.settings.start_window_ms;
    }
    Changes changes(context_);
    for (const MatchMember* member : members) {
        std::optional<Ticket> current = context_.store.GetTicket(member->ticket);
        if (!current || current->match_id != match->id) {
            return std::nullopt;
        }
        if (everyone) {
            current->state = TicketState::kAccepted;
        }
        changes.Put(std::move(*current), true);  // every member's "accepted" list grew
    }
    changes.Put(std::move(*match));
    if (!changes.Commit()) {
        return std::nullopt;
    }
    return Answer(ticket.id);
}

Outcome Tickets::Cancel(const std::string& identity, const std::string& id, bool soft) {
    return Step(identity, id,
                [this, soft](const Ticket& ticket) { return TryCancel(ticket, soft); });
}

std::optional<Outcome> Tickets::TryCancel(const Ticket& ticket, bool soft) {
    if (IsFinished(ticket.state) || (soft && !InMatch(ticket.state))) {
        return Answer(ticket.id);
    }
    Changes changes(context_);
    std::optional<Match> match;
    if (InMatch(ticket.state)) {
        match = context_.store.GetMatch(ticket.match_id);
    }
    if (match) {
        const DissolveCause cause = soft ? DissolveCause::kSoftCancel : DissolveCause::kMemberLeft;
        if (!StageDissolution(context_, *match, cause, soft ? std::string() : ticket.id,
                              TicketState::kCancelled, &changes)) {
            return std::nullopt;
        }
    } else if (soft) {
        changes.Requeue(ticket);
    } else {
        changes.Finish(ticket, TicketState::kCancelled);
    }
    if (!changes.Commit()) {
        return std::nullopt;
    }
    formation_.Form(ticket.hopper_id);
    return Answer(ticket.id);
}

Outcome Tickets::Start(const std::string& identity, const std::string& id,
                       const std::string& join_info) {
    return Step(identity, id,
                [this, &join_info](const Ticket& ticket) { return TryStart(ticket, join_info); });
}

std::optional<Outcome> Tickets::TryStart(const Ticket& ticket, const std::string& join_info) {
    std::optional<Match> match;
    if (InMatch(ticket.state)) {
        match = context_.store.GetMatch(ticket.match_id);
    }
    if (!match) {
        return Answer(ticket.id);  // started already, or not in a match (any more)
    }
    const MatchMember* leader = match->Leader();
    if (leader == nullptr || leader->ticket != ticket.id) {
        return Outcome::Refuse(Refusal::kForbidden, "not_leader",
                               "only the match's leader (the last member of its last team) "
                               "starts it");
    }
    if (match->phase != MatchPhase::kStarting) {
        return Outcome::Refuse(Refusal::kConflict, "not_accepted",
                               "not every member has accepted the match yet");
    }
    const int64_t now = context_.Now();
    match->phase = MatchPhase::kStarted;
    match->join_info = join_info;
    match->due_ms = now + context_.settings.retain_ms;
    Changes changes(context_);
    for (const MatchMember* member : match->Members()) {
        std::optional<Ticket> current = context_.store.GetTicket(member->ticket);
        if (!current || current->match_id != match->id) {
            return std::nullopt;
        }
        current->state = TicketState::kMatchStarted;
        current->ends_ms = now + context_.settings.retain_ms;
        // The party has played: its id is free for the group's next match.
        Party* party = current->party_id.empty()
                           ? nullptr
                           : changes.PartyFor(current->party_id, match->hopper_id, false);
        if (party != nullptr) {
            party->tickets.clear();
            party->identities.clear();
        }
        changes.Put(std::move(*current), true);
    }
    changes.Put(std::move(*match));
    if (!changes.Commit()) {
        return std::nullopt;
    }
    context_.metrics.MatchStarted();
    return Answer(ticket.id);
}

}  // namespace KRHalyardServer
