#pragma once

#include "requests/TaskMatchmaking.h"

namespace KRMatchmakingSystem {

// Accepts the found match for a ticket.
class TaskMatchmakingAcceptMatch : public TaskMatchmaking {
public:
    TaskMatchmakingAcceptMatch(KRTaskSystem::TaskHeap* heap, MatchmakingSystem* system,
                               const char* ticket);
    void Start(KRTaskSystem::TaskManager* manager) override;
    void OnFinished(bool cancelled) override;

private:
    String ticket_;
};

class TaskMatchmakingAcceptMatchRetries : public TaskMatchmakingRetries {
public:
    TaskMatchmakingAcceptMatchRetries(KRTaskSystem::TaskHeap* heap, MatchmakingSystem* system,
                                      const char* ticket, int32_t max_attempts,
                                      uint32_t retry_delay_ms);
    TaskMatchmaking* CreateAttempt() override;
};

}  // namespace KRMatchmakingSystem
