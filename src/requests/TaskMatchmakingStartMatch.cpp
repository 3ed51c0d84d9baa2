#include "requests/TaskMatchmakingStartMatch.h"

#include "KRMatchmakingSystem.h"
#include "halyard.h"
#include "requests/RequestSupport.h"

namespace KRMatchmakingSystem {

TaskMatchmakingStartMatch::TaskMatchmakingStartMatch(KRTaskSystem::TaskHeap* heap,
                                                     MatchmakingSystem* system, const char* ticket,
                                                     const char* join_info)
    : TaskMatchmaking(heap, system, "TaskMatchmakingStartMatch"),
      ticket_(ticket),
      join_info_(join_info) {}

void TaskMatchmakingStartMatch::Start(KRTaskSystem::TaskManager* manager) {
    Task::Start(manager);
    if (!CheckTicket(ticket_)) {
        return;
    }
    // Join info that is empty or not JSON still starts the match, just
    // without anything for the other players to read. The parsed value
    // belongs to the request from here on.
    hy_json* join_info = hy_json_parse(join_info_.c_str(), join_info_.size());
    request_ = hye_r_matchmaking_start(ClientOf(system_), ticket_.c_str(), join_info);
}

void TaskMatchmakingStartMatch::OnFinished(bool cancelled) {
    FinishFromResponse(cancelled, &TaskMatchmaking::ParseStatusStep);
}

TaskMatchmakingStartMatchRetries::TaskMatchmakingStartMatchRetries(
    KRTaskSystem::TaskHeap* heap, MatchmakingSystem* system, const char* ticket,
    int32_t max_attempts, uint32_t retry_delay_ms, const char* join_info)
    : TaskMatchmakingRetries(heap, system, "TaskMatchmakingStartMatchRetries", ticket, max_attempts,
                             retry_delay_ms),
      join_info_(join_info) {}

TaskMatchmaking* TaskMatchmakingStartMatchRetries::CreateAttempt() {
    return new TaskMatchmakingStartMatch(heap(), system_, ticket_.c_str(), join_info_.c_str());
}

}  // namespace KRMatchmakingSystem
