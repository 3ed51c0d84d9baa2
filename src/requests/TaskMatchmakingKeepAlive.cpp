#include "requests/TaskMatchmakingKeepAlive.h"

#include "KRMatchmakingSystem.h"
#include "requests/RequestSupport.h"

namespace KRMatchmakingSystem {

TaskMatchmakingKeepAlive::TaskMatchmakingKeepAlive(KRTaskSystem::TaskHeap* heap,
                                                   MatchmakingSystem* system, const char* ticket)
    : TaskMatchmaking(heap, system, "TaskMatchmakingKeepAlive"), ticket_(ticket) {}

void TaskMatchmakingKeepAlive::Start(KRTaskSystem::TaskManager* manager) {
    Task::Start(manager);
    if (CheckTicket(ticket_)) {
        request_ = hye_r_matchmaking_keepalive(ClientOf(system_), ticket_.c_str());
    }
}

void TaskMatchmakingKeepAlive::OnFinished(bool cancelled) {
    FinishFromResponse(cancelled, &TaskMatchmaking::ParseStatusStep);
}

}  // namespace KRMatchmakingSystem
