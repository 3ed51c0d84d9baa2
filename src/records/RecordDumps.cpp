// The log dumps of the records. Kept apart from the parsers so that the
// parsers depend on the client library only.
#include "matchmaking/MatchmakingSystem.h"
#include "records/HopperInfo.h"
#include "records/MatchInfo.h"
#include "records/MatchableStatus.h"

namespace KRMatchmakingSystem {

void DumpMatchInfo(MatchmakingSystem* system, const MatchInfo& info) {
    if (system == nullptr) {
        return;
    }
    system->Log(KRMM_LOG_NFO, "=== Match ===");
    system->Log(KRMM_LOG_NFO, "Id: '%s'", info.id.c_str());
    system->Log(KRMM_LOG_NFO, "Join Info: '%s'", info.join_info.c_str());
    system->Log(KRMM_LOG_NFO, "Params: '%s'", info.params.c_str());
    system->Log(KRMM_LOG_NFO, "Num Accepted: %i", info.accepted_count);
    for (const String& identity : info.accepted) {
        system->Log(KRMM_LOG_NFO, "\tID: '%s'", identity.c_str());
    }
    system->Log(KRMM_LOG_NFO, "=== Teams ===");
    int32_t k = 0;
    for (const MatchTeam& team : info.teams) {
        system->Log(KRMM_LOG_NFO, "\t= Team %i =", k++);
        for (const MatchUser& user : team.members) {
            system->Log(KRMM_LOG_NFO, "\tIdentity ID: '%s'", user.identity_id.c_str());
            system->Log(KRMM_LOG_NFO, "\tGroup ID: '%s'", user.group_id.c_str());
            system->Log(KRMM_LOG_NFO, "\tAttributes: '%s'", user.attributes.c_str());
            system->Log(KRMM_LOG_NFO, "\tValues: '%s'", user.values.c_str());
        }
    }
    if (info.teams.empty()) {
        system->Log(KRMM_LOG_NFO, "\tNo teams");
    }
}

void DumpMatchableStatus(MatchmakingSystem* system, const MatchableStatus& status) {
    if (system == nullptr) {
        return;
    }
    system->Log(KRMM_LOG_NFO, "=== Matchmaking ===");
    system->Log(KRMM_LOG_NFO, "Sequence: %u", status.seq);
    system->Log(KRMM_LOG_NFO, "Matchable ID: '%s'", status.matchable_id.c_str());
    system->Log(KRMM_LOG_NFO, "Hopper ID: '%s'", status.hopper_id.c_str());
    system->Log(KRMM_LOG_NFO, "State: %s", MatchableStateName(status.state));
    system->Log(KRMM_LOG_NFO, "Estimated hopper size: %u", status.estimated_hopper_size);
    system->Log(KRMM_LOG_NFO, "Group ID: '%s'", status.group_id.c_str());
    system->Log(KRMM_LOG_NFO, "Group members: %i", status.group_size);
    system->Log(KRMM_LOG_NFO, "Group members joined: %i", status.group_members_joined_count);
    for (const String& identity : status.group_members_joined) {
        system->Log(KRMM_LOG_NFO, "\tID: '%s'", identity.c_str());
    }
    DumpMatchInfo(system, status.match);
}

void DumpHopperInfo(MatchmakingSystem* system, const HopperInfo& info) {
    if (system == nullptr) {
        return;
    }
    system->Log(KRMM_LOG_NFO, "=== Hopper Info ===");
    system->Log(KRMM_LOG_NFO, "Hopper ID: '%s'", info.id.c_str());
    system->Log(KRMM_LOG_NFO, "Hopper name: '%s'", info.name.c_str());
    system->Log(KRMM_LOG_NFO, "Enabled: %s", info.is_enabled ? "true" : "false");
    system->Log(KRMM_LOG_NFO, "Allow groups: %s", info.allow_groups ? "true" : "false");
    system->Log(KRMM_LOG_NFO, "Expansion time: %i", info.expansion_time);
    system->Log(KRMM_LOG_NFO, "Expansion wait: %i", info.expansion_wait);
    system->Log(KRMM_LOG_NFO, "Maximum wait time: %i", info.maximum_wait_time);
    system->Log(KRMM_LOG_NFO, "Num players: %i", info.players);
    system->Log(KRMM_LOG_NFO, "Num teams: %i", info.team_count);
    system->Log(KRMM_LOG_NFO, "=== Teams ===");
    int32_t k = 0;
    for (float fraction : info.team_fractions) {
        system->Log(KRMM_LOG_NFO, "\tTeam %i: Fraction: %f", k++, static_cast<double>(fraction));
    }
    if (info.team_fractions.empty()) {
        system->Log(KRMM_LOG_NFO, "\tNo teams");
    }
    system->Log(KRMM_LOG_NFO, "=== Rules ===");
    k = 0;
    for (const String& rule : info.rules) {
        system->Log(KRMM_LOG_NFO, "\t= Rule %i =", k++);
        system->Log(KRMM_LOG_NFO, "\tRule: '%s'", rule.c_str());
    }
    if (info.rules.empty()) {
        system->Log(KRMM_LOG_NFO, "\tNo rules");
    }
}

}  // namespace KRMatchmakingSystem
