#include "Changes.h"

#include <algorithm>

namespace KRHalyardServer {

int64_t TicketDue(const Context& context, const Ticket& ticket) {
    if (IsFinished(ticket.state)) {
        return ticket.ends_ms;
    }
    int64_t due = ticket.keepalive_ms + context.settings.keepalive_timeout_ms;
    const Hopper* hopper = context.hoppers.Find(ticket.hopper_id);
    const bool waiting =
        ticket.state == TicketState::kInitialWaiting || ticket.state == TicketState::kMatching;
    if (waiting && hopper != nullptr && hopper->max_wait_ms > 0) {
        due = std::min(due, ticket.created_ms + hopper->max_wait_ms);
    }
    return due;
}

void Changes::Put(Ticket ticket, bool visible) {
    if (visible) {
        ++ticket.seq;
        ticket.event_id = context_.store.NextEventId(ticket.identity);
    }
    ticket.due_ms = TicketDue(context_, ticket);
    batch_.tickets.push_back(std::move(ticket));
}

Party* Changes::PartyFor(const std::string& id, const std::string& hopper_id, bool create) {
    auto found = parties_.find(id);
    if (found == parties_.end()) {
        found = parties_.emplace(id, context_.store.GetParty(id)).first;
    }
    if (!found->second && create) {
        found->second = Party{};
        found->second->id = id;
        found->second->hopper_id = hopper_id;
    }
    return found->second ? &*found->second : nullptr;
}

void Changes::LeaveParty(const Ticket& ticket) {
    if (ticket.party_id.empty()) {
        return;
    }
    Party* party = PartyFor(ticket.party_id, ticket.hopper_id, false);
    if (party == nullptr) {
        return;
    }
    const auto at = std::find(party->tickets.begin(), party->tickets.end(), ticket.id);
    if (at != party->tickets.end()) {
        party->identities.erase(party->identities.begin() + (at - party->tickets.begin()));
        party->tickets.erase(at);
        TouchParty(party->id);
    }
}

void Changes::Finish(Ticket ticket, TicketState state) {
    LeaveParty(ticket);
    ticket.state = state;
    ticket.match_id.clear();
    ticket.ends_ms = context_.Now() + context_.settings.retain_ms;
    Metrics& metrics = context_.metrics;
    AfterCommit([&metrics, state] { metrics.TicketFinished(StateText(state)); });
    Put(std::move(ticket), true);
}

void Changes::Requeue(Ticket ticket) {
    ticket.state = TicketState::kMatching;
    ticket.match_id.clear();
    Put(std::move(ticket), true);
}

bool Changes::Commit() {
    for (const std::string& id : touched_parties_) {
        const Party* party = PartyFor(id, std::string(), false);
        for (std::size_t i = 0; party != nullptr && i < party->tickets.size(); ++i) {
            const std::string& member = party->tickets[i];
            const bool staged =
                std::any_of(batch_.tickets.begin(), batch_.tickets.end(),
                            [&](const Ticket& ticket) { return ticket.id == member; });
            std::optional<Ticket> ticket = staged ? std::nullopt : context_.store.GetTicket(member);
            if (ticket) {
                Put(std::move(*ticket), true);
            }
        }
    }
    for (auto& entry : parties_) {
        const std::optional<Party>& party = entry.second;
        if (!party) {
            continue;
        }
        // A party nobody is in any more is gone, so its id can open anew.
        if (party->tickets.empty()) {
            if (party->version != 0) {
                batch_.dropped_parties.push_back({party->id, party->version});
            }
        } else {
            batch_.parties.push_back(*party);
        }
    }
    if (!context_.store.Commit(batch_)) {
        return false;
    }
    for (const auto& step : after_commit_) {
        step();
    }
    return true;
}

}  // namespace KRHalyardServer
