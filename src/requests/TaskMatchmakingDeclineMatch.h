#pragma once

#include "requests/TaskMatchmaking.h"

namespace KRMatchmakingSystem {

// Declines a match or abandons a ticket through the backend's cancel request.
class TaskMatchmakingDeclineMatch : public TaskMatchmaking {
public:
    TaskMatchmakingDeclineMatch(KRTaskSystem::TaskHeap* heap, MatchmakingSystem* system,
                                const char* ticket, bool soft);
    void Start(KRTaskSystem::TaskManager* manager) override;
    void OnFinished(bool cancelled) override;

    bool soft() const { return soft_; }
    const String& ticket() const { return ticket_; }

private:
    String ticket_;
    bool soft_ = false;
};

class TaskMatchmakingDeclineMatchRetries : public TaskMatchmakingRetries {
public:
    TaskMatchmakingDeclineMatchRetries(KRTaskSystem::TaskHeap* heap, MatchmakingSystem* system,
                                       const char* ticket, int32_t max_attempts,
                                       uint32_t retry_delay_ms, bool soft);
    TaskMatchmaking* CreateAttempt() override;
    bool soft() const { return soft_; }

private:
    bool soft_ = false;
};

}  // namespace KRMatchmakingSystem
