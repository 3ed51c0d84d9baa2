#include "Clocks.h"

#include <algorithm>

#include "Changes.h"
#include "Dissolution.h"

namespace KRHalyardServer {

int Clocks::Tick() {
    const int64_t now = context_.Now();
    const std::size_t limit = context_.settings.due_batch;
    std::vector<std::string> requeued;
    int changed = 0;
    for (const std::string& id : context_.store.MatchesDue(now, limit)) {
        changed += MatchDue(id, &requeued) ? 1 : 0;
    }
    for (const std::string& id : context_.store.TicketsDue(now, limit)) {
        changed += TicketDue(id, &requeued) ? 1 : 0;
    }
    std::sort(requeued.begin(), requeued.end());
    requeued.erase(std::unique(requeued.begin(), requeued.end()), requeued.end());
    for (const std::string& hopper_id : requeued) {
        formation_.Form(hopper_id);
    }
    context_.store.ForgetAnswers(now);
    return changed;
}

bool Clocks::MatchDue(const std::string& id, std::vector<std::string>* requeued) {
    const std::optional<Match> match = context_.store.GetMatch(id);
    if (!match || match->due_ms > context_.Now()) {
        return false;
    }
    Changes changes(context_);
    if (match->phase == MatchPhase::kStarted) {
        changes.Drop(*match);  // its tickets are dropped at the same time
        return changes.Commit();
    }
    const DissolveCause cause = match->phase == MatchPhase::kAccepting
                                    ? DissolveCause::kAcceptWindow
                                    : DissolveCause::kStartWindow;
    if (!StageDissolution(context_, *match, cause, std::string(), TicketState::kCancelled,
                          &changes) ||
        !changes.Commit()) {
        return false;  // looked at again on the next tick
    }
    requeued->push_back(match->hopper_id);
    return true;
}

bool Clocks::TicketDue(const std::string& id, std::vector<std::string>* requeued) {
    std::optional<Ticket> ticket = context_.store.GetTicket(id);
    const int64_t now = context_.Now();
    if (!ticket || ticket->due_ms > now) {
        return false;
    }
    Changes changes(context_);
    if (IsFinished(ticket->state)) {
        changes.Drop(*ticket);
        return changes.Commit();
    }
    std::optional<Match> match;
    if (!ticket->match_id.empty()) {
        match = context_.store.GetMatch(ticket->match_id);
    }
    if (match) {
        // A member gone silent ends its match; the others go back to the pool.
        if (!StageDissolution(context_, *match, DissolveCause::kMemberLeft, ticket->id,
                              TicketState::kExpired, &changes)) {
            return false;
        }
        requeued->push_back(match->hopper_id);
    } else {
        changes.Finish(std::move(*ticket), TicketState::kExpired);
    }
    return changes.Commit();
}

}  // namespace KRHalyardServer
