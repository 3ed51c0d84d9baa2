#include "matchmaking/MatchmakingSystem.h"

namespace KRMatchmakingSystem {

namespace {

constexpr const char* kInvalidMemberIndex =
    "<GetMatchInfoTeamMemberId: invalid team or member index>";

// The team at a 0-based position in list order, or null. Positions are only
// ever compared for equality, so a negative one finds nothing.
const MatchTeam* TeamAt(const MatchInfo& match, int32_t team) {
    int32_t position = 0;
    for (const MatchTeam& candidate : match.teams) {
        if (position == team) {
            return &candidate;
        }
        ++position;
    }
    return nullptr;
}

}  // namespace

// A negative team counts no members, as it names no member in
// GetMatchInfoTeamMemberId: taking no step would report the first team's.
int32_t MatchmakingSystem::GetMatchInfoNumTeamMembers(int32_t team) const {
    const MatchTeam* found = TeamAt(current_status_.match, team);
    return found != nullptr ? found->member_count : 0;
}

const char* MatchmakingSystem::GetMatchInfoTeamMemberId(int32_t team, int32_t member) const {
    const MatchTeam* found = TeamAt(current_status_.match, team);
    if (found == nullptr) {
        return kInvalidMemberIndex;
    }
    int32_t position = 0;
    for (const MatchUser& user : found->members) {
        if (position == member) {
            return user.identity_id.c_str();
        }
        ++position;
    }
    return kInvalidMemberIndex;
}

const char* MatchmakingSystem::GetMatchInfoUserJsonStr(int32_t user) const {
    // Users are numbered from 1 across all teams, in list order.
    int32_t number = 0;
    for (const MatchTeam& team : current_status_.match.teams) {
        for (const MatchUser& member : team.members) {
            if (++number == user) {
                return member.attributes.c_str();
            }
        }
    }
    return "";
}

}  // namespace KRMatchmakingSystem
