#pragma once

#include <cstdint>
#include <forward_list>

#include "util/String.h"

struct hy_json;

namespace KRMatchmakingSystem {

class MatchmakingSystem;

// One user of a match team. Every text is copied out of the JSON at once.
struct MatchUser {
    String identity_id;
    String group_id;
    String attributes;  // serialized JSON text
    String values;      // serialized JSON text
    double bayesian_rating = 0.0;
};

struct MatchTeam {
    int32_t member_count = 0;
    std::forward_list<MatchUser> members;  // newest first: reverse of JSON order
};

// The "match" object of a matchable status. Lists are built newest first
// (the reverse of the JSON order); a copy keeps its source's order.
struct MatchInfo {
    String id;
    int32_t team_count = 0;
    std::forward_list<MatchTeam> teams;
    int32_t accepted_count = 0;
    int32_t user_count = 0;
    std::forward_list<String> accepted;
    String params;     // serialized JSON text
    String join_info;  // serialized JSON text

    void Clear();
    // The match rules, checked by the enclosing status's IsValid.
    bool IsValid() const;
};

// Fills info from the "match" value (null leaves it cleared).
void ParseMatchInfo(const hy_json* value, MatchInfo* info);
// The match block of the status dump, at NFO.
void DumpMatchInfo(MatchmakingSystem* system, const MatchInfo& info);

}  // namespace KRMatchmakingSystem
