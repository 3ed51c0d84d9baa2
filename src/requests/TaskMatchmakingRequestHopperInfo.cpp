#include "requests/TaskMatchmakingRequestHopperInfo.h"

#include <cstring>

#include "halyard.h"
#include "requests/RequestSupport.h"

namespace KRMatchmakingSystem {

using KRTaskSystem::TASK_LOG_WARNING;

TaskMatchmakingRequestHopperInfo::TaskMatchmakingRequestHopperInfo(KRTaskSystem::TaskHeap* heap,
                                                                   MatchmakingSystem* system,
                                                                   const char* hopper_id)
    : TaskMatchmaking(heap, system, "TaskMatchmakingRequestHopperInfo"), hopper_id_(hopper_id) {}

void TaskMatchmakingRequestHopperInfo::Start(KRTaskSystem::TaskManager* manager) {
    Task::Start(manager);
    if (hopper_id_.empty()) {
        Log(TASK_LOG_WARNING, "No hopper UUID specified, cannot send request");
        return;
    }
    hy_uuid hopper = {};
    hy_uuid_set_from_string(&hopper, hopper_id_.c_str());

    hy_json* value = hy_json_parse(kHopperInfoOptions, std::strlen(kHopperInfoOptions));
    if (value == nullptr) {
        Log(TASK_LOG_WARNING,
            "Cannot create option object from string '%s' because it is not in json format.",
            kHopperInfoOptions);
        return;
    }
    hy_options* options = hy_options_from_json(value);
    if (options == nullptr) {
        Log(TASK_LOG_WARNING, "Cannot create option object from json object '%s'.",
            kHopperInfoOptions);
    } else {
        // Hopper configurations live in the object store, which the emulator
        // does not have: this request always goes to the client library.
        // The options belong to the request from here on.
        request_ = hy_r_get_object(ClientOf(system_), kHopperCollection, &hopper, options);
    }
    hy_json_free(value);
}

void TaskMatchmakingRequestHopperInfo::OnFinished(bool cancelled) {
    FinishFromResponse(cancelled, &TaskMatchmakingRequestHopperInfo::ParseHopperStep);
}

bool TaskMatchmakingRequestHopperInfo::ParseHopperStep(TaskMatchmaking* task, const hy_json* body) {
    auto* self = static_cast<TaskMatchmakingRequestHopperInfo*>(task);
    if (ParseHopperInfo(body, &self->hopper_info_)) {
        return true;
    }
    self->Log(TASK_LOG_WARNING, "Failed to parse the hopper info json");
    return false;
}

TaskMatchmakingRequestHopperInfoRetries::TaskMatchmakingRequestHopperInfoRetries(
    KRTaskSystem::TaskHeap* heap, MatchmakingSystem* system, const char* hopper_id,
    int32_t max_attempts, uint32_t retry_delay_ms)
    : TaskMatchmakingRetries(heap, system, "TaskMatchmakingRequestHopperInfoRetries", hopper_id,
                             max_attempts, retry_delay_ms) {}

TaskMatchmaking* TaskMatchmakingRequestHopperInfoRetries::CreateAttempt() {
    return new TaskMatchmakingRequestHopperInfo(heap(), system_, ticket_.c_str());
}

}  // namespace KRMatchmakingSystem
