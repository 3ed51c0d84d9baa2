#include "requests/TaskMatchmakingKeepAliveHeartbeat.h"

#include "requests/RequestSupport.h"

namespace KRMatchmakingSystem {

using KRTaskSystem::TASK_LOG_INFO;
using KRTaskSystem::TASK_LOG_WARNING;

TaskMatchmakingKeepAliveHeartbeat::TaskMatchmakingKeepAliveHeartbeat(
    KRTaskSystem::TaskHeap* heap, MatchmakingSystem* system, const char* ticket, const char* name,
    uint32_t interval_ms, uint32_t max_count)
    : TaskCompositeParallelTask(heap, name),
      system_(system),
      ticket_(ticket),
      interval_(interval_ms),
      max_count_(max_count) {}

TaskMatchmakingKeepAliveHeartbeat::~TaskMatchmakingKeepAliveHeartbeat() {
    DropKeepAlive();
}

void TaskMatchmakingKeepAliveHeartbeat::DropKeepAlive() {
    if (keep_alive_ != nullptr) {
        keep_alive_->ClearFinishedCallbacks();
        delete keep_alive_;
        keep_alive_ = nullptr;
    }
}

void TaskMatchmakingKeepAliveHeartbeat::Start(KRTaskSystem::TaskManager* manager) {
    TaskCompositeParallelTask::Start(manager);
    if (ticket_.empty()) {
        // The first update sends a keep-alive all the same; it fails with
        // the same warning, once per interval, and the matchmaker hears of it.
        Log(TASK_LOG_WARNING, "No ticket specified, cannot send request");
        return;
    }
    SendKeepAlive();
}

void TaskMatchmakingKeepAliveHeartbeat::SendKeepAlive() {
    ResetFold();
    DropKeepAlive();
    keep_alive_ = new TaskMatchmakingKeepAlive(heap(), system_, ticket_.c_str());
    // Registered before AddChild so that it runs after the result folding.
    keep_alive_->AddFinishedCallback(&TaskMatchmakingKeepAliveHeartbeat::KeepAliveFinished, this);
    AddChild(keep_alive_);
    next_send_time_ = Now() + interval_;
    ++sent_count_;
}

void TaskMatchmakingKeepAliveHeartbeat::KeepAliveFinished(KRTaskSystem::Task* keep_alive,
                                                          bool success, int32_t code,
                                                          const char* message, void* user_data) {
    static_cast<TaskMatchmakingKeepAliveHeartbeat*>(user_data)->OnKeepAliveFinished(
        keep_alive, success, code, message);
}

void TaskMatchmakingKeepAliveHeartbeat::OnKeepAliveFinished(KRTaskSystem::Task* keep_alive,
                                                            bool success, int32_t code,
                                                            const char* message) {
    Log(TASK_LOG_INFO, "%s completed with code %i with response '%s' in %.2fs", keep_alive->name(),
        code, message != nullptr ? message : "NULL", MsToSeconds(keep_alive->GetElapsedMs()));
    if (status_callback_ != nullptr) {
        status_callback_(keep_alive, success, code, message, status_user_data_,
                         static_cast<TaskMatchmakingKeepAlive*>(keep_alive)->status());
    } else {
        Log(TASK_LOG_WARNING, "Failed to update the matchable status (code %i)", code);
    }
}

bool TaskMatchmakingKeepAliveHeartbeat::Update() {
    // The only child is the keep-alive in flight.
    if (state() == KRTaskSystem::CANCELLING && has_children()) {
        keep_alive_->Cancel();
    }
    TaskCompositeParallelTask::Update();
    if (!has_children()) {
        DropKeepAlive();
    }
    const bool goes_on =
        state() != KRTaskSystem::CANCELLING && (max_count_ == 0 || sent_count_ < max_count_);
    if (goes_on) {
        // Nothing has been sent yet only when the ticket was missing at
        // Start: the first keep-alive is then due at once.
        if (sent_count_ == 0 || ClockReached(Now(), next_send_time_)) {
            if (has_children()) {
                // Overran its interval: cancelling only marks it, its result
                // still arrives when its request ends, and the next keep-alive
                // goes out on a later update.
                keep_alive_->Cancel();
            } else {
                SendKeepAlive();
            }
        }
        return false;
    }
    return !has_children();
}

}  // namespace KRMatchmakingSystem
