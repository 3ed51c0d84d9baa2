#pragma once

#include "requests/TaskMatchmaking.h"

namespace KRMatchmakingSystem {

// One keep-alive for a ticket; the response's matchable status is parsed
// into status().
class TaskMatchmakingKeepAlive : public TaskMatchmaking {
public:
    TaskMatchmakingKeepAlive(KRTaskSystem::TaskHeap* heap, MatchmakingSystem* system,
                             const char* ticket);

    void Start(KRTaskSystem::TaskManager* manager) override;
    void OnFinished(bool cancelled) override;

    const String& ticket() const { return ticket_; }

private:
    String ticket_;
};

}  // namespace KRMatchmakingSystem
