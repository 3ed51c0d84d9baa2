#include "records/HopperInfo.h"

#include <cfloat>
#include <limits>

#include "halyard.h"
#include "records/RecordJson.h"

namespace KRMatchmakingSystem {

namespace {

// Narrows a team fraction to float; values beyond float's range become
// infinities of their sign instead of undefined conversions.
float NarrowFraction(double value) {
    if (value > FLT_MAX) {
        return std::numeric_limits<float>::infinity();
    }
    if (value < -FLT_MAX) {
        return -std::numeric_limits<float>::infinity();
    }
    return static_cast<float>(value);
}

bool ReadFlag(const hy_json* object, const char* key) {
    const hy_json* value = hy_json_get_item(object, key);
    return value != nullptr && hy_json_is_true(value) != 0;
}

}  // namespace

void HopperInfo::Clear() {
    id.Clear();
    name.Clear();
    is_enabled = false;
    allow_groups = false;
    expansion_time = 0;
    expansion_wait = 0;
    maximum_wait_time = 0;
    players = 0;
    team_count = 0;
    team_fractions.clear();
    rule_count = 0;
    rules.clear();
}

bool HopperInfo::IsValid() const {
    if (!IsBackendId(id)) {
        return false;
    }
    if (expansion_time < 0 || expansion_wait < 0 || maximum_wait_time < 0) {
        return false;
    }
    if (players < 1 || team_count < 1) {
        return false;
    }
    for (float fraction : team_fractions) {
        if (fraction < 0.0f) {
            return false;
        }
    }
    if (!ListHasCount(team_fractions, team_count)) {
        return false;
    }
    for (const String& rule : rules) {
        if (rule.empty()) {
            return false;
        }
    }
    return ListHasCount(rules, rule_count);
}

bool ParseHopperInfo(const hy_json* object, HopperInfo* info) {
    info->Clear();
    if (object == nullptr) {
        return false;
    }
    info->id = hy_json_get_string_item(object, "_id");
    info->name = hy_json_get_string_item(object, "name");
    info->is_enabled = ReadFlag(object, "is_enabled");
    info->allow_groups = ReadFlag(object, "allow_groups");
    info->expansion_time = hy_json_get_integer_item(object, "expansion_time");
    info->expansion_wait = hy_json_get_integer_item(object, "expansion_wait");
    info->maximum_wait_time = hy_json_get_integer_item(object, "maximum_wait_time");
    info->players = hy_json_get_integer_item(object, "players");

    if (const hy_json* teams = hy_json_get_item(object, "teams")) {
        info->team_count = hy_json_get_size(teams);
        if (info->team_count <= kMaxRecordListElements) {
            for (int32_t i = 0; i < info->team_count; ++i) {
                info->team_fractions.push_front(
                    NarrowFraction(hy_json_get_double(hy_json_get_value(teams, i))));
            }
        }
    }
    if (const hy_json* rules = hy_json_get_item(object, "rules")) {
        info->rule_count = hy_json_get_size(rules);
        if (info->rule_count <= kMaxRecordListElements) {
            for (int32_t i = 0; i < info->rule_count; ++i) {
                info->rules.emplace_front();
                AssignSerializedJson(hy_json_get_value(rules, i), &info->rules.front());
            }
        }
    }
    return info->IsValid();
}

}  // namespace KRMatchmakingSystem
