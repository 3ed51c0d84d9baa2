#include "Records.h"

#include <algorithm>

namespace KRHalyardServer {

const char* StateText(TicketState state) {
    switch (state) {
        case TicketState::kInitialWaiting:
            return "initial_waiting";
        case TicketState::kMatching:
            return "matching";
        case TicketState::kMatched:
            return "matched";
        case TicketState::kAccepted:
            return "accepted";
        case TicketState::kMatchStarted:
            return "match_started";
        case TicketState::kExpired:
            return "expired";
        case TicketState::kCancelled:
            return "cancelled";
    }
    return "cancelled";
}

bool IsFinished(TicketState state) {
    return state == TicketState::kMatchStarted || state == TicketState::kExpired ||
           state == TicketState::kCancelled;
}

const MatchMember* Match::Leader() const {
    for (auto team = teams.rbegin(); team != teams.rend(); ++team) {
        if (!team->empty()) {
            return &team->back();
        }
    }
    return nullptr;
}

const MatchMember* Match::Find(const std::string& ticket) const {
    for (const auto& team : teams) {
        for (const MatchMember& member : team) {
            if (member.ticket == ticket) {
                return &member;
            }
        }
    }
    return nullptr;
}

bool Match::HasAccepted(const std::string& ticket) const {
    return std::find(accepted.begin(), accepted.end(), ticket) != accepted.end();
}

std::vector<const MatchMember*> Match::Members() const {
    std::vector<const MatchMember*> members;
    for (const auto& team : teams) {
        for (const MatchMember& member : team) {
            members.push_back(&member);
        }
    }
    return members;
}

}  // namespace KRHalyardServer
