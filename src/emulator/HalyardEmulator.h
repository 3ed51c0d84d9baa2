#pragma once

#include <cstdint>

#include "halyard.h"

namespace KRHalyardEmulator {

// The process-wide in-process emulation of the backend's matchmaking service.
// Created on first use, never destroyed. Task and response handles are the
// task's own id text; an emulated task is its own response.
class HalyardEmulator {
public:
    // The one emulator of the process, created on first use.
    static HalyardEmulator& Instance();

    bool enabled() const { return enabled_; }
    void set_enabled(bool enabled) { enabled_ = enabled; }

    // True when handle is the id text of a registered task.
    bool IsEmulatorHandle(const void* handle) const;

    void TaskFree(const char* task_id);
    bool TaskIsPending(const char* task_id);
    bool TaskIsTimedOut(const char* task_id);
    bool TaskIsOkay(const char* task_id);
    const char* TaskFetchResponse(const char* task_id);
    void ResponseFree(const char* response_id);
    int32_t ResponseGetStatusCode(const char* response_id);
    bool ResponseIsOkay(const char* response_id);
    // Built afresh at each call; owned by the task.
    hy_json* ResponseGetJson(const char* response_id);

    // Requests: each returns the id text of the new registered task, or null
    // when no task is made.
    const char* MatchmakingTicket(hy_client* client, const hy_uuid* hopper_id,
                                  const hy_uuid* group_id, const hy_uuid* second_group_id,
                                  uint32_t group_size, hy_json* attributes, hy_json* values);
    const char* MatchmakingKeepAlive(const char* ticket);
    const char* MatchmakingAccept(const char* ticket);
    const char* MatchmakingCancel(const char* ticket, bool soft);
    const char* MatchmakingStart(const char* ticket, hy_json* join_info);
    const char* MatchmakingCreateProof(const char* ticket);
    const char* MatchmakingCheckProof(const char* proof);
    const char* MatchmakingCreateManualProof(const char* argument);

    // The identity id the emulator shows for a backend client handle.
    const char* GetIdentity(hy_client* client);

private:
    HalyardEmulator();
    bool enabled_ = false;
};

}  // namespace KRHalyardEmulator
