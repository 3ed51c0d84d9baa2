#include <new>

#include "matchmaking/MatchmakingSystem.h"
#include "requests/TaskMatchmakingKeepAliveHeartbeat.h"
#include "requests/TaskMatchmakingTicket.h"
#include "tasksystem/TaskManager.h"

namespace KRMatchmakingSystem {

bool MatchmakingSystem::Process() {
    // A pass never runs inside another call, which may be in the middle of
    // this manager's pass; a cleaned-up matchmaker waits for its restart
    // (tried again here when it found no memory).
    if (!InsideAnotherCall() && task_manager_ == nullptr && replacement_pending_) {
        ReplaceTaskManager();
    }
    if (InsideAnotherCall() || task_manager_ == nullptr) {
        return state_ != MMS_IDLE;
    }
    bool busy = false;
    {
        CallScope pass(this);
        busy = !task_manager_->Process();
    }
    if (task_manager_ == nullptr) {
        return state_ != MMS_IDLE;  // cleaned up from a callback
    }
    DoStateWork(busy);
    CheckErrorRecovery();
    CheckMatchmakingTimeout();
    CheckAcceptTimeout();
    CheckStartTimeout();
    if (task_manager_ != nullptr && task_manager_->queue_empty()) {
        if (IsHeapUsageHigh()) {
            Log(KRMM_LOG_DBG, "High task manager heap usage - Restarting task manager...");
            RestartTaskManager();
        } else if (replacement_pending_) {
            RestartTaskManager();  // a restart that found no memory
        }
    }
    CheckHasHeartbeat();
    return state_ != MMS_IDLE;
}

bool MatchmakingSystem::IsHeapUsageHigh() const {
    return task_manager_ != nullptr &&
           100.0 * static_cast<double>(task_manager_->peak_usage()) > kHighHeapUsagePercent;
}

void MatchmakingSystem::CheckHasHeartbeat() {
    if (IsInactiveState(state_) || state_ == MMS_REQUEST_TICKET) {
        return;
    }
    if (heartbeat_task_ == nullptr || heartbeat_task_->IsFinished()) {
        Log(KRMM_LOG_DBG, "CheckHasHeartbeat: Starting heartbeat again...");
        StartKeepAliveHeartbeat();
    }
}

void MatchmakingSystem::StartKeepAliveHeartbeat() {
    if (IsInactiveState(state_)) {
        Log(KRMM_LOG_WRN,
            "StartKeepAliveHeartbeat: Can't start heartbeat while idle (current state: %s)",
            krmm_matchmaking_state_to_str(state_));
        return;
    }
    if (heartbeat_task_ != nullptr) {
        // The manager may still hold it: cancel it and let its own finished
        // callback delete it once it is out of the queue.
        heartbeat_task_->Cancel();
        heartbeat_task_ = nullptr;
    }
    heartbeat_task_ = QueueHeartbeat(TaskMatchmakingKeepAliveHeartbeat::kContinuousName, 0);
}

void MatchmakingSystem::SendSingleHeartbeat() {
    if (IsInactiveState(state_)) {
        Log(KRMM_LOG_WRN,
            "Tried to send single heartbeat while in idle or initializing  (current state: %s)",
            krmm_matchmaking_state_to_str(state_));
        return;
    }
    QueueHeartbeat(TaskMatchmakingKeepAliveHeartbeat::kSingleName, 1);
}

TaskMatchmakingKeepAliveHeartbeat* MatchmakingSystem::QueueHeartbeat(const char* name,
                                                                     uint32_t max_count) {
    KRTaskSystem::TaskHeap* heap = RequestHeap();
    if (heap == nullptr) {
        return nullptr;
    }
    auto* heartbeat = new (std::nothrow) TaskMatchmakingKeepAliveHeartbeat(
        heap, this, ticket_.c_str(), name, heartbeat_interval, max_count);
    if (heartbeat == nullptr) {
        return nullptr;
    }
    heartbeat->SetStatusCallback(&MatchmakingSystem::OnHeartbeatStatus, this);
    return QueueRequest(heartbeat, &MatchmakingSystem::OnHeartbeatFinished) ? heartbeat : nullptr;
}

void MatchmakingSystem::OnHeartbeatStatus(KRTaskSystem::Task* keep_alive, bool success,
                                          int32_t code, const char* text, void* user_data,
                                          const MatchableStatus& status) {
    auto* system = static_cast<MatchmakingSystem*>(user_data);
    if (success) {
        // A working heartbeat ends error recovery; the next pass reports it.
        system->recovery_deadline = 0;
        system->UpdateMatchableStatus(status);
        if (system->IsHeapUsageHigh()) {
            system->Log(KRMM_LOG_DBG,
                        "High task manager heap usage - restarting heartbeat to allow task "
                        "manager to restart...");
            if (system->heartbeat_task_ != nullptr) {
                system->heartbeat_task_->Cancel();
            }
        }
        return;
    }
    if (keep_alive->state() == KRTaskSystem::CANCELLED) {
        return;
    }
    system->FailOrRecover(MME_KEEPALIVE_REQUEST_FAILED, code, text);
}

void MatchmakingSystem::OnHeartbeatFinished(KRTaskSystem::Task* task, bool success, int32_t code,
                                            const char* text, void* user_data) {
    auto* system = static_cast<MatchmakingSystem*>(user_data);
    system->LogTaskCompleted(task, success, code, text);
    // Every keep-alive result already went through the status handler, which
    // put transient failures under error recovery; only the others end the
    // attempt here. Exempting 400 and 504 keeps a backend that keeps timing
    // out recovering, where every recovery heartbeat ends with its 504.
    if (!success && task->state() != KRTaskSystem::CANCELLED && !IsTransientCode(code)) {
        system->TriggerError(MME_INITIAL_KEEPALIVE_REQUEST_FAILED, text);
        system->EnterRestart();
    }
    if (task == system->heartbeat_task_) {
        system->heartbeat_task_ = nullptr;
    }
    delete task;
}

int32_t MatchmakingSystem::TicketErrorForCode(int32_t code) {
    if (code == 404) {
        return MME_HOPPER_DOES_NOT_EXIST;
    }
    if (code >= 400 && code <= 499) {
        return MME_REQUEST_TICKET_USER_PARAMS_INCORRECT;
    }
    if (code >= 500 && code <= 599) {
        return MME_REQUEST_TICKET_SERVER_ERROR;
    }
    return MME_REQUEST_TICKET_FAILED;
}

void MatchmakingSystem::OnTicketFinished(KRTaskSystem::Task* task, bool success, int32_t code,
                                         const char* text, void* user_data) {
    auto* system = static_cast<MatchmakingSystem*>(user_data);
    system->LogTaskCompleted(task, success, code, text);
    if (success) {
        // The backend holds the ticket from now on, whatever the game did
        // meanwhile: the matchmaker takes it up and keeps it alive.
        system->ticket_ = static_cast<TaskMatchmakingTicket*>(task)->ticket();
        if (system->state_ == MMS_REQUEST_TICKET) {
            system->StartKeepAliveHeartbeat();
        }
        system->SetState(MMS_INITIAL_KEEPALIVE);
    } else {
        // No retry follows: the request is made once per attempt.
        system->Log(KRMM_LOG_WRN, "Retrying matchmaking ticket request...");
        system->TriggerError(TicketErrorForCode(code), text);
        system->EnterRestart();
    }
    delete task;
}

// ---- Request plumbing shared by the commands and the heartbeat ----

KRTaskSystem::TaskHeap* MatchmakingSystem::RequestHeap() const {
    return task_manager_ != nullptr ? task_manager_->heap() : nullptr;
}

bool MatchmakingSystem::QueueRequest(KRTaskSystem::Task* task, RequestFinishedFn on_finished) {
    if (task == nullptr) {
        return false;
    }
    if (!task->AddFinishedCallback(on_finished, this)) {
        // Without its callback nobody would ever delete it.
        delete task;
        return false;
    }
    return QueueTask(task);
}

void MatchmakingSystem::EnterRestart() {
    if (state_ != MMS_RESTART) {
        SetState(MMS_RESTART);
    }
}

void MatchmakingSystem::LogTaskCompleted(KRTaskSystem::Task* task, bool success, int32_t code,
                                         const char* text) {
    Log(KRMM_LOG_DBG, "%s completed with code %i with response '%s' in %.2fs (succes: %s)",
        task->name(), code, text != nullptr ? text : "NULL", task->GetElapsedMs() / 1000.0,
        success ? "true" : "false");
}

void MatchmakingSystem::LogRequestCompleted(KRTaskSystem::Task* task, int32_t code,
                                            const char* text) {
    Log(KRMM_LOG_NFO, "%s completed with code %i with response '%s' in %.2fs", task->name(), code,
        text != nullptr ? text : "NULL", task->GetElapsedMs() / 1000.0);
}

}  // namespace KRMatchmakingSystem
