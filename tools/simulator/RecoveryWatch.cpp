#include "RecoveryWatch.h"

#include "matchmaking/MatchmakingSystem.h"

namespace KRSimulator {

using KRMatchmakingSystem::MatchmakingSystem;

void RecoveryWatch::Observe(krmm_matchmaker* matchmaker, int32_t raised_error,
                            RecoveryCounts* counts) {
    MatchmakingSystem& system = *MatchmakingSystem::FromHandle(matchmaker);
    const uint32_t deadline = system.recovery_deadline;
    const bool active = !MatchmakingSystem::IsInactiveState(system.state());
    if (open_) {
        uint32_t* closed = nullptr;
        if (deadline == 0) {
            // A working keep-alive disarms the recovery.
            closed = &counts->recovered;
        } else if (raised_error != 0 && raised_error == system.recovery_error_code &&
                   system.Now() >= deadline) {
            // Giving up raises the remembered error, then restarts.
            closed = &counts->gave_up;
        } else if (!active) {
            closed = &counts->cut_short;
        }
        if (closed != nullptr) {
            ++*closed;
            open_ = false;
        }
    } else if (active && deadline != 0 && deadline != deadline_) {
        ++counts->opened;
        open_ = true;
    }
    // Another 400 or 504 during a window starts the same window over.
    deadline_ = deadline;
}

}  // namespace KRSimulator
