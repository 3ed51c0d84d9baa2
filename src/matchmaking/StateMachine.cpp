#include <new>

#include "matchmaking/MatchmakingSystem.h"
#include "requests/TaskMatchmakingDeclineMatch.h"
#include "requests/TaskMatchmakingKeepAliveHeartbeat.h"
#include "tasksystem/TaskManager.h"

namespace KRMatchmakingSystem {

bool MatchmakingSystem::IsInactiveState(int32_t state) {
    switch (state) {
        case MMS_INIT:
        case MMS_IDLE:
        case MMS_RESTART:
        case MMS_ERR_EXPIRED:
        case MMS_ERR_DECLINED:
            return true;
        default:
            return false;
    }
}

void MatchmakingSystem::SetState(int32_t state) {
    if (state == state_) {
        Log(KRMM_LOG_WRN, "SetState: Already in state '%s', call ignored...",
            krmm_matchmaking_state_to_str(state));
        return;
    }
    // Idle is only reachable through a restart, so that no attempt's data
    // survives into the next one.
    if (state == MMS_IDLE && state_ != MMS_INIT) {
        Log(KRMM_LOG_WRN, "SetState: Entering %s without going through a restart (%s)",
            krmm_matchmaking_state_to_str(MMS_IDLE), krmm_matchmaking_state_to_str(state_));
        return;
    }
    const bool was_idle = state_ == MMS_IDLE;
    const uint32_t now = ClockNow();
    Log(KRMM_LOG_DBG, "'%s' -> '%s' (last state duration: %.2fs)",
        krmm_matchmaking_state_to_str(state_), krmm_matchmaking_state_to_str(state),
        static_cast<uint32_t>(now - state_entry_time_) / 1000.0);
    state_entry_time_ = now;
    state_ = state;
    TriggerMsg("state", state, nullptr);
    const bool is_idle = state == MMS_IDLE;
    if (is_idle != was_idle) {
        TriggerMsg("idle", is_idle ? 1 : 0, nullptr);
    }
}

bool MatchmakingSystem::Restart() {
    // Draining runs the finished callbacks of whatever was still queued; the
    // heartbeat's own callback clears the heartbeat field on the way. From a
    // callback the drain waits, but the attempt's data goes at once.
    const bool replaced = RestartTaskManager();
    if (!replaced && task_manager_ != nullptr) {
        // What was queued ends as it would have on the way out; the manager
        // itself is replaced once its queue is empty.
        task_manager_->CancelAll();
    }
    // Callbacks, the previous matchable id and the hopper infos stay.
    ResetAttempt();
    return replaced;
}

void MatchmakingSystem::LeaveMatchmakingAttempt(bool send_decline) {
    if (IsInactiveState(state_)) {
        Log(KRMM_LOG_WRN,
            "Cannot re-enter matchmaking unless already matchmaking (current state '%s')...",
            krmm_matchmaking_state_to_str(state_));
        return;
    }
    if (send_decline && !ticket_.empty()) {
        Log(KRMM_LOG_WRN, "Cancel current matchmaking attempt... (current state '%s')...",
            krmm_matchmaking_state_to_str(state_));
        SendSingleDecline(nullptr);
    }
    // Late updates for the abandoned matchable must not drag us back into it.
    if (!current_status_.matchable_id.empty()) {
        previous_matchable_id_ = current_status_.matchable_id;
    }
    ticket_.Clear();
    if (heartbeat_task_ != nullptr) {
        heartbeat_task_->Cancel();
    }
}

void MatchmakingSystem::SendSingleDecline(const char* ticket) {
    if (IsInactiveState(state_)) {
        Log(KRMM_LOG_WRN,
            "Tried to send a decline while in idle or initializing  (current state: %s)",
            krmm_matchmaking_state_to_str(state_));
        return;
    }
    Log(KRMM_LOG_WRN, "Sending single decline (current state: %s)...",
        krmm_matchmaking_state_to_str(state_));
    if (KRTaskSystem::TaskHeap* heap = RequestHeap()) {
        QueueRequest(new (std::nothrow) TaskMatchmakingDeclineMatch(
                         heap, this, ticket != nullptr ? ticket : ticket_.c_str(), false),
                     &MatchmakingSystem::OnSingleDeclineFinished);
    }
}

void MatchmakingSystem::OnSingleDeclineFinished(KRTaskSystem::Task* task, bool success,
                                                int32_t code, const char* text, void* user_data) {
    auto* system = static_cast<MatchmakingSystem*>(user_data);
    system->LogTaskCompleted(task, success, code, text);
    delete task;
}

void MatchmakingSystem::DoStateWork(bool task_manager_was_busy) {
    switch (state_) {
        case MMS_INIT:
            SetState(MMS_IDLE);
            break;
        case MMS_RESTART:
            if (heartbeat_task_ != nullptr) {
                heartbeat_task_->Cancel();
            }
            // Restart only once every queued request has finished, so that no
            // callback of the old attempt runs against the new one.
            if (!task_manager_was_busy) {
                // Without memory for a new task manager the restart waits
                // here and is tried again on the next pass.
                if (Restart()) {
                    SetState(MMS_INIT);
                }
            } else if (task_manager_ != nullptr) {
                task_manager_->CancelAll();
            }
            break;
        case MMS_MATCHED:
            if ((flags_ & MMF_AUTO_ACCEPT) != 0) {
                Log(KRMM_LOG_NFO, "Auto accepting match...");
                AcceptMatch();
            }
            break;
        case MMS_ACCEPTED_LEADER:
            if ((flags_ & MMF_AUTO_START) != 0) {
                Log(KRMM_LOG_NFO, "Auto starting match...");
                StartMatch(nullptr);
            }
            break;
        case MMS_MATCH_STARTED:
            SetState(MMS_RESTART);
            break;
        case MMS_ERR_EXPIRED:
            TriggerError(MME_TICKET_EXPIRED, nullptr);
            EnterRestart();
            break;
        default:
            break;
    }
}

}  // namespace KRMatchmakingSystem
