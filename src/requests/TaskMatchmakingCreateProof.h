#pragma once

#include <cstdint>

#include "requests/TaskMatchmaking.h"

namespace KRMatchmakingSystem {

// Asks the backend for a proof of the ticket: a token with an expiry.
class TaskMatchmakingCreateProof : public TaskMatchmaking {
public:
    TaskMatchmakingCreateProof(KRTaskSystem::TaskHeap* heap, MatchmakingSystem* system,
                               const char* ticket);
    void Start(KRTaskSystem::TaskManager* manager) override;
    void OnFinished(bool cancelled) override;

    const String& proof() const { return proof_; }
    // As the client library's date-time reading gives it; 0 when absent.
    int64_t expires_at() const { return expires_at_; }

private:
    static bool ParseProofStep(TaskMatchmaking* task, const hy_json* body);

    String ticket_;
    String proof_;
    int64_t expires_at_ = 0;
};

class TaskMatchmakingCreateProofRetries : public TaskMatchmakingRetries {
public:
    TaskMatchmakingCreateProofRetries(KRTaskSystem::TaskHeap* heap, MatchmakingSystem* system,
                                      const char* ticket, int32_t max_attempts,
                                      uint32_t retry_delay_ms);
    TaskMatchmaking* CreateAttempt() override;
};

}  // namespace KRMatchmakingSystem
