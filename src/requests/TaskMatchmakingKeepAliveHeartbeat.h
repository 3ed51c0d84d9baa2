#pragma once

#include <cstdint>

#include "requests/TaskMatchmakingKeepAlive.h"

namespace KRMatchmakingSystem {

// Receives every keep-alive result of a heartbeat with the keep-alive's
// parsed status.
typedef void (*HeartbeatStatusCallback)(KRTaskSystem::Task* keep_alive, bool success,
                                        int32_t code, const char* message, void* user_data,
                                        const MatchableStatus& status);

// Sends keep-alives for a ticket every interval, forever (max count 0) or a
// given number of times. A keep-alive still pending when the next is due is
// cancelled. The continuous form ends only when cancelled.
class TaskMatchmakingKeepAliveHeartbeat : public KRTaskSystem::TaskCompositeParallelTask {
public:
    static constexpr const char* kContinuousName = "TaskMatchmakingKeepAliveHeartbeat";
    static constexpr const char* kSingleName = "TaskMatchmakingKeepAliveHeartbeatSingle";

    TaskMatchmakingKeepAliveHeartbeat(KRTaskSystem::TaskHeap* heap, MatchmakingSystem* system,
                                      const char* ticket, const char* name, uint32_t interval_ms,
                                      uint32_t max_count);
    ~TaskMatchmakingKeepAliveHeartbeat() override;

    void Start(KRTaskSystem::TaskManager* manager) override;
    bool Update() override;
    virtual void SendKeepAlive();
    virtual void OnKeepAliveFinished(KRTaskSystem::Task* keep_alive, bool success, int32_t code,
                                     const char* message);

    void SetStatusCallback(HeartbeatStatusCallback callback, void* user_data) {
        status_callback_ = callback;
        status_user_data_ = user_data;
    }

    const String& ticket() const { return ticket_; }
    TaskMatchmakingKeepAlive* current_keep_alive() const { return keep_alive_; }
    uint32_t interval() const { return interval_; }
    uint32_t sent_count() const { return sent_count_; }
    uint32_t max_count() const { return max_count_; }

private:
    // Deletes the current keep-alive, if any, without running its callbacks.
    void DropKeepAlive();
    static void KeepAliveFinished(KRTaskSystem::Task* keep_alive, bool success, int32_t code,
                                  const char* message, void* user_data);

    MatchmakingSystem* system_ = nullptr;
    String ticket_;
    TaskMatchmakingKeepAlive* keep_alive_ = nullptr;
    uint32_t interval_ = 0;
    uint32_t next_send_time_ = 0;
    uint32_t sent_count_ = 0;
    uint32_t max_count_ = 0;
    HeartbeatStatusCallback status_callback_ = nullptr;
    void* status_user_data_ = nullptr;
};

}  // namespace KRMatchmakingSystem
