#include "emulator/StatusBody.h"

#include <cstdint>
#include <vector>

#include "emulator/EmulatedClient.h"
#include "emulator/HalyardEmulator.h"
#include "emulator/Hopper.h"

namespace KRHalyardEmulator {
namespace {

const char* IdentityOf(HalyardEmulator& emulator, const Client& member) {
    return emulator.GetIdentity(member.halyard_client());
}

hy_json* NewUser(HalyardEmulator& emulator, const Client& member) {
    hy_json* user = hy_json_new_object();
    hy_json_set_string_key(user, "identity_id", IdentityOf(emulator, member));
    hy_json_set_key(user, "attributes", hy_json_new_object());
    hy_json_set_key(user, "values", hy_json_new_object());
    return user;
}

// Member i plays in team i mod 2; a team's array is made when its first
// member is placed, so a lone member makes one team.
hy_json* BuildTeams(HalyardEmulator& emulator, const Match& match) {
    hy_json* teams = hy_json_new_array();
    std::vector<hy_json*> team_arrays;
    for (std::size_t i = 0; i < match.members.size(); ++i) {
        const std::size_t team = i % 2;
        if (team_arrays.size() <= team) {
            hy_json* array = hy_json_new_array();
            hy_json_append_value(teams, array);
            team_arrays.push_back(array);
        }
        hy_json_append_value(team_arrays[team], NewUser(emulator, *match.members[i]));
    }
    return teams;
}

hy_json* BuildMatchObject(HalyardEmulator& emulator, const Hopper& hopper, const Match& match) {
    hy_json* object = hy_json_new_object();
    hy_json* accepted = hy_json_new_array();
    hy_json_set_key(object, "accepted", accepted);
    for (const Client* member : match.members) {
        if (member->accepted()) {
            hy_json_append_string_value(accepted, IdentityOf(emulator, *member));
        }
    }
    hy_json_set_string_key(object, "hopper_id", hopper.id().c_str());
    hy_json_set_string_key(object, "id", match.id.c_str());
    hy_json_set_key(object, "join_info", hy_json_new_object());
    hy_json_set_key(object, "params", hy_json_new_object());
    hy_json_set_key(object, "teams", BuildTeams(emulator, match));
    return object;
}

}  // namespace

hy_json* BuildTicketBody(const Client& client) {
    hy_json* body = hy_json_new_object();
    hy_json_set_string_key(body, "ticket", client.ticket().c_str());
    return body;
}

hy_json* BuildMatchableStatus(HalyardEmulator& emulator, const Hopper& hopper, Client& client,
                              bool forced) {
    if (!forced && client.state() == CLIENT_MATCH_STARTED) {
        return hy_json_clone(client.started_status());
    }
    hy_json* status = hy_json_new_object();
    hy_json_set_integer_key(status, "seq", static_cast<int64_t>(client.TakeSeq()));
    hy_json_set_string_key(status, "matchable_id", client.ticket().c_str());
    hy_json_set_string_key(status, "hopper_id", hopper.id().c_str());
    hy_json_set_integer_key(status, "estimated_hopper_size",
                            static_cast<int64_t>(hopper.waiting_count()));
    hy_json_set_string_key(status, "state", ClientStateName(client.state()));

    const Match* match = hopper.FindMatch(client);
    if (match == nullptr) {
        return status;
    }
    hy_json_set_integer_key(status, "group_size", static_cast<int64_t>(match->members.size()));
    hy_json* joined = hy_json_new_array();
    hy_json_set_key(status, "group_members_joined", joined);
    for (const Client* member : match->members) {
        hy_json_append_string_value(joined, IdentityOf(emulator, *member));
    }
    hy_json_set_key(status, "match", BuildMatchObject(emulator, hopper, *match));
    return status;
}

}  // namespace KRHalyardEmulator
