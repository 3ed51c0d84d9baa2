#pragma once

#include <cstdint>

#include "matchmaking/MatchmakingSystem.h"

struct hy_client;

namespace KRMatchmakingSystem {

// The backend client every request of a matchmaker is sent on.
inline hy_client* ClientOf(const MatchmakingSystem* system) {
    return system != nullptr ? system->client() : nullptr;
}

// True once the task system clock has reached deadline; the unsigned
// difference keeps this right across one wrap of the clock.
inline bool ClockReached(uint32_t now, uint32_t deadline) {
    return static_cast<int32_t>(now - deadline) >= 0;
}

// Seconds of a millisecond duration, as the task log lines show them.
inline double MsToSeconds(uint32_t ms) {
    return ms / 1000.0;
}

}  // namespace KRMatchmakingSystem
