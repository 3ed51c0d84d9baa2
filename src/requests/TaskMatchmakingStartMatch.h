#pragma once

#include "requests/TaskMatchmaking.h"

namespace KRMatchmakingSystem {

// The leader reports the match as started, with the join info (a JSON text)
// the other players need.
class TaskMatchmakingStartMatch : public TaskMatchmaking {
public:
    TaskMatchmakingStartMatch(KRTaskSystem::TaskHeap* heap, MatchmakingSystem* system,
                              const char* ticket, const char* join_info);
    void Start(KRTaskSystem::TaskManager* manager) override;
    void OnFinished(bool cancelled) override;

private:
    String ticket_;
    String join_info_;
};

class TaskMatchmakingStartMatchRetries : public TaskMatchmakingRetries {
public:
    TaskMatchmakingStartMatchRetries(KRTaskSystem::TaskHeap* heap, MatchmakingSystem* system,
                                     const char* ticket, int32_t max_attempts,
                                     uint32_t retry_delay_ms, const char* join_info);
    TaskMatchmaking* CreateAttempt() override;

private:
    String join_info_;
};

}  // namespace KRMatchmakingSystem
