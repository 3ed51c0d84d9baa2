#include "records/MatchInfo.h"

#include "halyard.h"
#include "records/RecordJson.h"

namespace KRMatchmakingSystem {

namespace {

void ReadUser(const hy_json* object, MatchUser* user) {
    user->identity_id = hy_json_get_string_item(object, "identity_id");
    user->group_id = hy_json_get_string_item(object, "group_id");
    AssignSerializedJson(hy_json_get_item(object, "attributes"), &user->attributes);
    const hy_json* values = hy_json_get_item(object, "values");
    AssignSerializedJson(values, &user->values);
    if (values != nullptr) {
        user->bayesian_rating = hy_json_get_double_item(values, "bayesian_rating");
    }
}

// Reads one team array into a new team at the front of info's teams. Empty
// team arrays (and non-arrays) make no team.
void ReadTeam(const hy_json* array, MatchInfo* info) {
    const int32_t size = hy_json_get_size(array);
    if (size <= 0) {
        return;
    }
    info->teams.emplace_front();
    ++info->team_count;
    MatchTeam& team = info->teams.front();
    if (size > kMaxRecordListElements) {
        team.member_count = size;  // members stay unread: the match fails validation
        return;
    }
    for (int32_t j = 0; j < size; ++j) {
        team.members.emplace_front();
        ReadUser(hy_json_get_value(array, j), &team.members.front());
        ++team.member_count;
        ++info->user_count;
    }
}

}  // namespace

void MatchInfo::Clear() {
    id.Clear();
    team_count = 0;
    teams.clear();
    accepted_count = 0;
    user_count = 0;
    accepted.clear();
    params.Clear();
    join_info.Clear();
}

bool MatchInfo::IsValid() const {
    if (!id.empty() && !IsBackendId(id)) {
        return false;
    }
    if (!IsIdList(accepted, accepted_count)) {
        return false;
    }
    for (const MatchTeam& team : teams) {
        for (const MatchUser& user : team.members) {
            if (!IsBackendId(user.identity_id)) {
                return false;
            }
        }
        if (!ListHasCount(team.members, team.member_count)) {
            return false;
        }
    }
    return ListHasCount(teams, team_count);
}

void ParseMatchInfo(const hy_json* value, MatchInfo* info) {
    info->Clear();
    if (value == nullptr) {
        return;
    }
    info->id = hy_json_get_string_item(value, "id");
    if (const hy_json* params = hy_json_get_item(value, "params")) {
        AssignSerializedJson(params, &info->params);
    }
    if (const hy_json* join_info = hy_json_get_item(value, "join_info")) {
        AssignSerializedJson(join_info, &info->join_info);
    }
    if (const hy_json* accepted = hy_json_get_item(value, "accepted")) {
        info->accepted_count = ReadTextArray(accepted, &info->accepted);
    }
    if (const hy_json* teams = hy_json_get_item(value, "teams")) {
        const int32_t size = hy_json_get_size(teams);
        if (size > kMaxRecordListElements) {
            info->team_count = size;  // teams stay unread: the match fails validation
            return;
        }
        for (int32_t i = 0; i < size; ++i) {
            ReadTeam(hy_json_get_value(teams, i), info);
        }
    }
}

}  // namespace KRMatchmakingSystem
