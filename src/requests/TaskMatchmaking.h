#pragma once

#include <cstdint>

#include "records/MatchableStatus.h"
#include "tasksystem/TaskCompositeTask.h"
#include "util/String.h"

struct hy_task;
struct hy_json;

namespace KRMatchmakingSystem {

class MatchmakingSystem;

// Base of every single backend request: Start issues one request through the
// backend switch, Update reports the end once it is no longer pending, and
// OnFinished reads and releases the response.
class TaskMatchmaking : public KRTaskSystem::Task {
public:
    TaskMatchmaking(KRTaskSystem::TaskHeap* heap, MatchmakingSystem* system, const char* name);
    ~TaskMatchmaking() override = default;

    // True without a request, or once the request is no longer pending.
    // Cancelling does not abort the backend request.
    bool Update() override;

    const MatchableStatus& status() const { return status_; }
    MatchmakingSystem* system() const { return system_; }
    hy_task* request() const { return request_; }

protected:
    // What a family does with a successful response body; returns parsed.
    typedef bool (*ParseStep)(TaskMatchmaking* task, const hy_json* body);

    // What a finished request's response said. text is the body serialised
    // (null without a body) and must be released with hy_free.
    struct ResponseReading {
        int32_t code = -1;
        bool status_success = false;
        bool parsed = false;
        char* text = nullptr;
    };
    // Fetches, reads and releases the response and the request: the first
    // half of FinishFromResponse, shared with requests whose verdict differs.
    ResponseReading ReadResponse(ParseStep parse);

    // The shared response handling: fetch, read code and body, parse on
    // success, release response and request, then SetFinishedInfo.
    void FinishFromResponse(bool cancelled, ParseStep parse);
    // Parse step of keep-alive, accept, decline and start.
    static bool ParseStatusStep(TaskMatchmaking* task, const hy_json* body);
    // The warning of a request whose ticket is missing; returns true when
    // the ticket is there and the request may be issued.
    bool CheckTicket(const String& ticket);

    MatchableStatus status_;
    MatchmakingSystem* system_ = nullptr;
    hy_task* request_ = nullptr;
};

// A single-request task repeated, with a fixed delay, while the backend
// answers with a server error (500 to 599). Owns its current attempt, which
// stays readable after the retrying task has finished.
class TaskMatchmakingRetries : public KRTaskSystem::TaskCompositeParallelTask {
public:
    TaskMatchmakingRetries(KRTaskSystem::TaskHeap* heap, MatchmakingSystem* system,
                           const char* name, const char* ticket, int32_t max_attempts,
                           uint32_t retry_delay_ms);
    ~TaskMatchmakingRetries() override;

    void Start(KRTaskSystem::TaskManager* manager) override;
    bool Update() override;

    // A new single-request task for the next attempt.
    virtual TaskMatchmaking* CreateAttempt() = 0;
    // Deletes the current attempt, if any.
    virtual void DeleteAttempt();
    virtual void OnAttemptFinished(KRTaskSystem::Task* attempt, bool success, int32_t code,
                                   const char* message);

    // Null when the task was cancelled before it ever started.
    TaskMatchmaking* attempt() const { return attempt_; }
    int32_t attempts() const { return attempts_; }
    int32_t max_attempts() const { return max_attempts_; }
    const String& ticket() const { return ticket_; }
    MatchmakingSystem* system() const { return system_; }

protected:
    MatchmakingSystem* system_ = nullptr;
    TaskMatchmaking* attempt_ = nullptr;
    String ticket_;
    int32_t attempts_ = 0;
    int32_t max_attempts_ = 0;
    uint32_t retry_delay_ = 0;
    uint32_t next_retry_time_ = 0;

private:
    void LaunchAttempt();
    static void AttemptFinished(KRTaskSystem::Task* attempt, bool success, int32_t code,
                                const char* message, void* user_data);
};

// Status codes: 200 to 399 is success for every request; only 500 to 599 is
// retried.
inline bool IsSuccessCode(int32_t code) { return code >= 200 && code <= 399; }
inline bool IsServerErrorCode(int32_t code) { return code >= 500 && code <= 599; }

// Attempts and delay of every retrying request the matchmaker sends.
constexpr int32_t kRequestMaxAttempts = 3;
constexpr uint32_t kRequestRetryDelayMs = 1000;

}  // namespace KRMatchmakingSystem
