#include "requests/TaskMatchmakingCreateProof.h"

#include "KRMatchmakingSystem.h"
#include "halyard.h"
#include "requests/RequestSupport.h"

namespace KRMatchmakingSystem {

TaskMatchmakingCreateProof::TaskMatchmakingCreateProof(KRTaskSystem::TaskHeap* heap,
                                                       MatchmakingSystem* system,
                                                       const char* ticket)
    : TaskMatchmaking(heap, system, "TaskMatchmakingCreateProof"), ticket_(ticket) {}

void TaskMatchmakingCreateProof::Start(KRTaskSystem::TaskManager* manager) {
    Task::Start(manager);
    // The emulator makes no proofs: there the call returns no request and the
    // task ends with -1 like any request that was never sent.
    if (CheckTicket(ticket_)) {
        request_ = hye_r_matchmaking_create_proof(ClientOf(system_), ticket_.c_str());
    }
}

void TaskMatchmakingCreateProof::OnFinished(bool cancelled) {
    FinishFromResponse(cancelled, &TaskMatchmakingCreateProof::ParseProofStep);
}

bool TaskMatchmakingCreateProof::ParseProofStep(TaskMatchmaking* task, const hy_json* body) {
    auto* self = static_cast<TaskMatchmakingCreateProof*>(task);
    self->proof_ = hy_json_get_string_item(body, "proof");
    // Kept in the client library's own date-time unit; the game gets it as is.
    self->expires_at_ = hy_json_get_datetime_item(body, "expires_at");
    // A proof without an expiry is no use to anyone it would be handed to.
    return !self->proof_.empty() && self->expires_at_ != 0;
}

TaskMatchmakingCreateProofRetries::TaskMatchmakingCreateProofRetries(KRTaskSystem::TaskHeap* heap,
                                                                     MatchmakingSystem* system,
                                                                     const char* ticket,
                                                                     int32_t max_attempts,
                                                                     uint32_t retry_delay_ms)
    : TaskMatchmakingRetries(heap, system, "TaskMatchmakingCreateProofRetries", ticket,
                             max_attempts, retry_delay_ms) {}

TaskMatchmaking* TaskMatchmakingCreateProofRetries::CreateAttempt() {
    return new TaskMatchmakingCreateProof(heap(), system_, ticket_.c_str());
}

}  // namespace KRMatchmakingSystem
