#include "requests/TaskMatchmakingAcceptMatch.h"

#include "KRMatchmakingSystem.h"
#include "requests/RequestSupport.h"

namespace KRMatchmakingSystem {

TaskMatchmakingAcceptMatch::TaskMatchmakingAcceptMatch(KRTaskSystem::TaskHeap* heap,
                                                       MatchmakingSystem* system,
                                                       const char* ticket)
    : TaskMatchmaking(heap, system, "TaskMatchmakingAcceptMatch"), ticket_(ticket) {}

void TaskMatchmakingAcceptMatch::Start(KRTaskSystem::TaskManager* manager) {
    Task::Start(manager);
    if (CheckTicket(ticket_)) {
        request_ = hye_r_matchmaking_accept(ClientOf(system_), ticket_.c_str());
    }
}

void TaskMatchmakingAcceptMatch::OnFinished(bool cancelled) {
    FinishFromResponse(cancelled, &TaskMatchmaking::ParseStatusStep);
}

TaskMatchmakingAcceptMatchRetries::TaskMatchmakingAcceptMatchRetries(KRTaskSystem::TaskHeap* heap,
                                                                     MatchmakingSystem* system,
                                                                     const char* ticket,
                                                                     int32_t max_attempts,
                                                                     uint32_t retry_delay_ms)
    : TaskMatchmakingRetries(heap, system, "TaskMatchmakingAcceptMatchRetries", ticket,
                             max_attempts, retry_delay_ms) {}

TaskMatchmaking* TaskMatchmakingAcceptMatchRetries::CreateAttempt() {
    return new TaskMatchmakingAcceptMatch(heap(), system_, ticket_.c_str());
}

}  // namespace KRMatchmakingSystem
