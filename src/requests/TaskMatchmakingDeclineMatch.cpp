#include "requests/TaskMatchmakingDeclineMatch.h"

#include "KRMatchmakingSystem.h"
#include "requests/RequestSupport.h"

namespace KRMatchmakingSystem {

// Declining goes through the backend's cancel request. What the backend does
// differently for a soft cancel is its own business; the flag is passed on.
TaskMatchmakingDeclineMatch::TaskMatchmakingDeclineMatch(KRTaskSystem::TaskHeap* heap,
                                                         MatchmakingSystem* system,
                                                         const char* ticket, bool soft)
    : TaskMatchmaking(heap, system, "TaskMatchmakingDeclineMatch"), ticket_(ticket), soft_(soft) {}

void TaskMatchmakingDeclineMatch::Start(KRTaskSystem::TaskManager* manager) {
    Task::Start(manager);
    if (CheckTicket(ticket_)) {
        request_ = hye_r_matchmaking_cancel(ClientOf(system_), ticket_.c_str(), soft_ ? 1 : 0);
    }
}

void TaskMatchmakingDeclineMatch::OnFinished(bool cancelled) {
    FinishFromResponse(cancelled, &TaskMatchmaking::ParseStatusStep);
}

TaskMatchmakingDeclineMatchRetries::TaskMatchmakingDeclineMatchRetries(
    KRTaskSystem::TaskHeap* heap, MatchmakingSystem* system, const char* ticket,
    int32_t max_attempts, uint32_t retry_delay_ms, bool soft)
    : TaskMatchmakingRetries(heap, system, "TaskMatchmakingDeclineMatchRetries", ticket,
                             max_attempts, retry_delay_ms),
      soft_(soft) {}

TaskMatchmaking* TaskMatchmakingDeclineMatchRetries::CreateAttempt() {
    return new TaskMatchmakingDeclineMatch(heap(), system_, ticket_.c_str(), soft_);
}

}  // namespace KRMatchmakingSystem
