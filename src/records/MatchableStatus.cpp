#include "records/MatchableStatus.h"

#include <cstring>

#include "halyard.h"
#include "records/RecordJson.h"

namespace KRMatchmakingSystem {

namespace {

struct StateTexts {
    const char* name;
    const char* json;
};

// Indexed by MatchableState; the backend's texts are compared in this order.
constexpr StateTexts kStateTexts[] = {
    {"HY_INITIAL_WAITING", "initial_waiting"},
    {"HY_MATCHING", "matching"},
    {"HY_MATCHED", "matched"},
    {"HY_ACCEPTED", "accepted"},
    {"HY_MATCH_STARTED", "match_started"},
    {"HY_EXPIRED", "expired"},
    {"HY_CANCELLED", "cancelled"},
};
constexpr int32_t kKnownStateCount = static_cast<int32_t>(sizeof kStateTexts / sizeof *kStateTexts);

bool IsKnownState(int32_t state) {
    return state >= 0 && state < kKnownStateCount;
}

}  // namespace

const char* MatchableStateName(int32_t state) {
    return IsKnownState(state) ? kStateTexts[state].name : "<unknown>";
}

const char* MatchableStateJsonText(int32_t state) {
    return IsKnownState(state) ? kStateTexts[state].json : nullptr;
}

MatchableState ParseMatchableState(const char* text) {
    if (text != nullptr) {
        for (int32_t state = 0; state < kKnownStateCount; ++state) {
            if (std::strcmp(text, kStateTexts[state].json) == 0) {
                return static_cast<MatchableState>(state);
            }
        }
    }
    return HY_STATE_UNKNOWN;
}

void MatchableStatus::Clear() {
    seq = 0;
    matchable_id.Clear();
    hopper_id.Clear();
    state = HY_STATE_UNKNOWN;
    estimated_hopper_size = 0;
    group_id.Clear();
    group_size = 0;
    group_members_joined_count = 0;
    group_members_joined.clear();
    match.Clear();
}

bool MatchableStatus::IsValid() const {
    if (seq == 0 || !IsBackendId(matchable_id) || !IsBackendId(hopper_id) ||
        state == HY_STATE_UNKNOWN) {
        return false;
    }
    if (group_size < 0 || group_members_joined_count < 0) {
        return false;
    }
    return IsIdList(group_members_joined, group_members_joined_count) && match.IsValid();
}

bool ParseMatchableStatus(const hy_json* object, MatchableStatus* status) {
    status->Clear();
    if (object == nullptr) {
        return false;
    }
    status->seq = static_cast<uint32_t>(hy_json_get_integer_item(object, "seq"));
    status->matchable_id = hy_json_get_string_item(object, "matchable_id");
    status->hopper_id = hy_json_get_string_item(object, "hopper_id");
    // The backend's estimate is unsigned; a negative integer keeps its bits.
    status->estimated_hopper_size =
        static_cast<uint32_t>(hy_json_get_integer_item(object, "estimated_hopper_size"));
    status->group_id = hy_json_get_string_item(object, "group_id");

    status->state = ParseMatchableState(hy_json_get_string_item(object, "state"));
    if (status->state == HY_STATE_UNKNOWN) {
        return false;
    }

    status->group_size = hy_json_get_integer_item(object, "group_size");
    if (const hy_json* joined = hy_json_get_item(object, "group_members_joined")) {
        status->group_members_joined_count = ReadTextArray(joined, &status->group_members_joined);
    }
    ParseMatchInfo(hy_json_get_item(object, "match"), &status->match);
    return status->IsValid();
}

}  // namespace KRMatchmakingSystem
