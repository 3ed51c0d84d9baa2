#include "Dissolution.h"

namespace KRHalyardServer {

const char* DissolveReason(DissolveCause cause) {
    switch (cause) {
        case DissolveCause::kAcceptWindow:
            return "accept_window";
        case DissolveCause::kStartWindow:
            return "start_window";
        case DissolveCause::kMemberLeft:
            return "member_left";
        case DissolveCause::kSoftCancel:
            return "soft_cancel";
    }
    return "member_left";
}

bool StageDissolution(Context& context, const Match& match, DissolveCause cause,
                      const std::string& leaver, TicketState leaver_state, Changes* changes) {
    const bool window =
        cause == DissolveCause::kAcceptWindow || cause == DissolveCause::kStartWindow;
    for (const MatchMember* member : match.Members()) {
        std::optional<Ticket> ticket = context.store.GetTicket(member->ticket);
        if (!ticket) {
            return false;
        }
        if (ticket->match_id != match.id) {
            continue;  // already moved on; nothing of this match to undo
        }
        if (member->ticket == leaver) {
            changes->Finish(std::move(*ticket), leaver_state);
        } else if (window && !match.HasAccepted(member->ticket)) {
            changes->Finish(std::move(*ticket), TicketState::kCancelled);
        } else {
            changes->Requeue(std::move(*ticket));
        }
    }
    changes->Drop(match);
    Metrics& metrics = context.metrics;
    changes->AfterCommit([&metrics, cause] { metrics.MatchDissolved(DissolveReason(cause)); });
    return true;
}

}  // namespace KRHalyardServer
