#pragma once

#include <cstdint>
#include <forward_list>

#include "records/MatchInfo.h"
#include "util/String.h"

struct hy_json;

namespace KRMatchmakingSystem {

class MatchmakingSystem;

// The backend's state of a matchable, as the JSON "state" text names it.
enum MatchableState : int32_t {
    HY_INITIAL_WAITING = 0,
    HY_MATCHING = 1,
    HY_MATCHED = 2,
    HY_ACCEPTED = 3,
    HY_MATCH_STARTED = 4,
    HY_EXPIRED = 5,
    HY_CANCELLED = 6,
    HY_STATE_UNKNOWN = 7,
};

// "HY_INITIAL_WAITING" ... "HY_CANCELLED"; "<unknown>" for anything else.
const char* MatchableStateName(int32_t state);
// The backend's JSON "state" text ("initial_waiting" ... "cancelled"); null
// for HY_STATE_UNKNOWN and anything else.
const char* MatchableStateJsonText(int32_t state);
// The state named by a backend "state" text (exact, case-sensitive);
// HY_STATE_UNKNOWN for null or any other text.
MatchableState ParseMatchableState(const char* text);

// Parsed and validated matchable status. Copies are deep and keep the order
// of every list.
struct MatchableStatus {
    uint32_t seq = 0;
    String matchable_id;
    String hopper_id;
    MatchableState state = HY_STATE_UNKNOWN;
    uint32_t estimated_hopper_size = 0;
    String group_id;
    int32_t group_size = 0;
    int32_t group_members_joined_count = 0;
    std::forward_list<String> group_members_joined;  // newest first
    MatchInfo match;

    void Clear();
    bool IsValid() const;
};

// Clears status, fills it from object and returns IsValid (false for null).
bool ParseMatchableStatus(const hy_json* object, MatchableStatus* status);
// Writes the status and its match block to the matchmaker log at NFO.
void DumpMatchableStatus(MatchmakingSystem* system, const MatchableStatus& status);

}  // namespace KRMatchmakingSystem
