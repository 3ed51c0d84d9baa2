#include "requests/TaskMatchmaking.h"

#include "KRMatchmakingSystem.h"
#include "halyard.h"
#include "requests/RequestSupport.h"
#include "tasksystem/TaskManager.h"

namespace KRMatchmakingSystem {

using KRTaskSystem::TASK_LOG_INFO;
using KRTaskSystem::TASK_LOG_WARNING;

TaskMatchmaking::TaskMatchmaking(KRTaskSystem::TaskHeap* heap, MatchmakingSystem* system,
                                 const char* name)
    : Task(heap, name), system_(system) {}

bool TaskMatchmaking::Update() {
    // A cancelled request is not aborted at the backend: it ends when its
    // request does, so that the response can still be read and released.
    return request_ == nullptr || !hye_task_is_pending(request_);
}

TaskMatchmaking::ResponseReading TaskMatchmaking::ReadResponse(ParseStep parse) {
    ResponseReading reading;
    if (request_ == nullptr) {
        return reading;
    }
    hy_response* response = hye_task_fetch_response(request_);
    if (response != nullptr) {
        reading.code = hye_response_get_status_code(response);
        reading.status_success = IsSuccessCode(reading.code);
        const hy_json* body = hye_response_get_json(response);
        if (body != nullptr) {
            reading.text = hy_json_serialize(body, 0);
        }
        if (!reading.status_success) {
            Log(TASK_LOG_WARNING, "Unexpected status code %i", reading.code);
        } else if (body != nullptr && parse != nullptr) {
            reading.parsed = parse(this, body);
        }
        hye_response_free(response);
    }
    // The handle stays stored (it tells that a request was issued) but is no
    // longer valid from here on.
    hye_task_free(request_);
    return reading;
}

void TaskMatchmaking::FinishFromResponse(bool cancelled, ParseStep parse) {
    ResponseReading reading = ReadResponse(parse);
    if (cancelled) {
        // The status record is filled all the same; only the verdict and the
        // message are withheld from a request nobody waits for any more.
        SetFinishedInfo(false, reading.code, nullptr);
    } else {
        SetFinishedInfo(reading.status_success && reading.parsed, reading.code, reading.text);
    }
    hy_free(reading.text);
}

bool TaskMatchmaking::ParseStatusStep(TaskMatchmaking* task, const hy_json* body) {
    if (ParseMatchableStatus(body, &task->status_)) {
        return true;
    }
    task->Log(TASK_LOG_WARNING, "Failed to parse the matchable status json");
    return false;
}

bool TaskMatchmaking::CheckTicket(const String& ticket) {
    if (ticket.empty()) {
        Log(TASK_LOG_WARNING, "No ticket specified, cannot send request");
        return false;
    }
    return true;
}

// ---- Retries ----

TaskMatchmakingRetries::TaskMatchmakingRetries(KRTaskSystem::TaskHeap* heap,
                                               MatchmakingSystem* system, const char* name,
                                               const char* ticket, int32_t max_attempts,
                                               uint32_t retry_delay_ms)
    : TaskCompositeParallelTask(heap, name),
      system_(system),
      ticket_(ticket),
      max_attempts_(max_attempts),
      retry_delay_(retry_delay_ms) {}

TaskMatchmakingRetries::~TaskMatchmakingRetries() {
    TaskMatchmakingRetries::DeleteAttempt();
}

void TaskMatchmakingRetries::Start(KRTaskSystem::TaskManager* manager) {
    TaskCompositeParallelTask::Start(manager);
    ResetFold();
    LaunchAttempt();
}

void TaskMatchmakingRetries::LaunchAttempt() {
    attempt_ = CreateAttempt();
    // Registered before AddChild so that it runs after the result folding
    // (callbacks run newest first) and sees the attempt's code as last code.
    attempt_->AddFinishedCallback(&TaskMatchmakingRetries::AttemptFinished, this);
    AddChild(attempt_);
    ++attempts_;
}

void TaskMatchmakingRetries::AttemptFinished(KRTaskSystem::Task* attempt, bool success,
                                             int32_t code, const char* message, void* user_data) {
    static_cast<TaskMatchmakingRetries*>(user_data)->OnAttemptFinished(attempt, success, code,
                                                                       message);
}

void TaskMatchmakingRetries::OnAttemptFinished(KRTaskSystem::Task* attempt, bool success,
                                               int32_t code, const char* message) {
    Log(TASK_LOG_INFO, "%s completed with code %i and response '%s' in %.2fs", attempt->name(),
        code, message != nullptr ? message : "NULL", MsToSeconds(attempt->GetElapsedMs()));
    if (!success && attempts_ < max_attempts_) {
        next_retry_time_ = Now() + retry_delay_;
    }
}

bool TaskMatchmakingRetries::Update() {
    if (!TaskCompositeParallelTask::Update()) {
        return false;
    }
    const int32_t code = last_code();
    // Only a server error is worth asking again; success, -1 (nothing
    // issued), client errors and unknown codes end the task.
    if (!IsServerErrorCode(code) || attempts_ >= max_attempts_) {
        return true;
    }
    // A manager that is shutting down is drained pass after pass without
    // waiting: a cancelled request makes no further attempt there.
    if (state() == KRTaskSystem::CANCELLING && manager() != nullptr && manager()->shutting_down()) {
        return true;
    }
    if (!ClockReached(Now(), next_retry_time_)) {
        return false;
    }
    ResetFold();
    DeleteAttempt();
    LaunchAttempt();
    return false;
}

void TaskMatchmakingRetries::DeleteAttempt() {
    delete attempt_;
    attempt_ = nullptr;
}

}  // namespace KRMatchmakingSystem
