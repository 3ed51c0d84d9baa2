#pragma once

#include <cstdint>
#include <forward_list>

#include "util/String.h"

struct hy_json;

namespace KRMatchmakingSystem {

class MatchmakingSystem;

// A hopper's configuration as the backend's object store returns it.
struct HopperInfo {
    String id;
    String name;
    bool is_enabled = false;
    bool allow_groups = false;
    int32_t expansion_time = 0;
    int32_t expansion_wait = 0;
    int32_t maximum_wait_time = 0;
    int32_t players = 0;
    int32_t team_count = 0;
    std::forward_list<float> team_fractions;  // newest first
    int32_t rule_count = 0;
    std::forward_list<String> rules;  // serialized JSON texts, newest first

    void Clear();
    bool IsValid() const;
};

// Clears info, fills it from object and returns IsValid (false for null).
bool ParseHopperInfo(const hy_json* object, HopperInfo* info);
void DumpHopperInfo(MatchmakingSystem* system, const HopperInfo& info);

}  // namespace KRMatchmakingSystem
