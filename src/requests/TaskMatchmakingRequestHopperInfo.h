#pragma once

#include "records/HopperInfo.h"
#include "requests/TaskMatchmaking.h"

namespace KRMatchmakingSystem {

// Object-store collection and request options of hopper configurations.
constexpr const char* kHopperCollection = "_mm_hoppers";
constexpr const char* kHopperInfoOptions = "{\"expand\":[\"rules\"]}";

// Reads one hopper's configuration, rules expanded. Goes to the client
// library directly, never to the emulator.
class TaskMatchmakingRequestHopperInfo : public TaskMatchmaking {
public:
    TaskMatchmakingRequestHopperInfo(KRTaskSystem::TaskHeap* heap, MatchmakingSystem* system,
                                     const char* hopper_id);
    void Start(KRTaskSystem::TaskManager* manager) override;
    void OnFinished(bool cancelled) override;

    const HopperInfo& hopper_info() const { return hopper_info_; }
    const String& hopper_id() const { return hopper_id_; }

private:
    static bool ParseHopperStep(TaskMatchmaking* task, const hy_json* body);

    HopperInfo hopper_info_;
    String hopper_id_;
};

// The hopper id travels in the retrying task's ticket field.
class TaskMatchmakingRequestHopperInfoRetries : public TaskMatchmakingRetries {
public:
    TaskMatchmakingRequestHopperInfoRetries(KRTaskSystem::TaskHeap* heap,
                                            MatchmakingSystem* system, const char* hopper_id,
                                            int32_t max_attempts, uint32_t retry_delay_ms);
    TaskMatchmaking* CreateAttempt() override;
    const String& hopper_id() const { return ticket_; }
};

}  // namespace KRMatchmakingSystem
