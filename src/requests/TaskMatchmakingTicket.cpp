#include "requests/TaskMatchmakingTicket.h"

#include "KRMatchmakingSystem.h"
#include "halyard.h"
#include "requests/RequestSupport.h"

namespace KRMatchmakingSystem {

using KRTaskSystem::TASK_LOG_INFO;

namespace {

// An empty text gives no value; what is parsed belongs to the request.
hy_json* ParseOptionalJson(const String& text) {
    return text.empty() ? nullptr : hy_json_parse(text.c_str(), text.size());
}

}  // namespace

TaskMatchmakingTicket::TaskMatchmakingTicket(KRTaskSystem::TaskHeap* heap,
                                             MatchmakingSystem* system, const char* hopper_id,
                                             const char* group_id, const char* second_group_id,
                                             uint32_t group_size, const char* attributes_json,
                                             const char* values_json)
    : TaskMatchmaking(heap, system, "TaskMatchmakingTicket"),
      hopper_id_(hopper_id),
      group_id_(group_id),
      second_group_id_(second_group_id),
      group_size_(group_size),
      attributes_json_(attributes_json),
      values_json_(values_json) {}

void TaskMatchmakingTicket::Start(KRTaskSystem::TaskManager* manager) {
    Task::Start(manager);
    hy_uuid hopper = {};
    hy_uuid_set_from_string(&hopper, hopper_id_.c_str());
    hy_json* attributes = ParseOptionalJson(attributes_json_);
    hy_json* values = ParseOptionalJson(values_json_);

    // A player's own group wins over the second group: the group size only
    // travels with the second group id.
    hy_uuid group = {};
    const hy_uuid* id_a = nullptr;
    const hy_uuid* id_b = nullptr;
    uint32_t count = 0;
    if (!group_id_.empty()) {
        hy_uuid_set_from_string(&group, group_id_.c_str());
        id_a = &group;
    } else if (!second_group_id_.empty()) {
        hy_uuid_set_from_string(&group, second_group_id_.c_str());
        id_b = &group;
        count = group_size_;
    }
    request_ =
        hye_r_matchmaking_ticket(ClientOf(system_), &hopper, id_a, id_b, count, attributes, values);
}

void TaskMatchmakingTicket::OnFinished(bool cancelled) {
    if (cancelled && (request_ == nullptr || !hye_task_is_pending(request_))) {
        // Nobody waits for this ticket any more: its answer is not read, only
        // the backend task is released.
        if (request_ != nullptr) {
            hye_task_free(request_);
        }
        SetFinishedInfo(false, -1, nullptr);
        return;
    }
    // Success is the status code alone, so a success without a "ticket"
    // member leaves the ticket empty for the matchmaker to take.
    const ParseStep read_ticket = [](TaskMatchmaking* task, const hy_json* body) {
        auto* self = static_cast<TaskMatchmakingTicket*>(task);
        self->ticket_ = hy_json_get_string_item(body, "ticket");
        self->Log(TASK_LOG_INFO, "Received matchmaking ticket '%s'", self->ticket_.c_str());
        return true;
    };
    ResponseReading reading = ReadResponse(read_ticket);
    SetFinishedInfo(reading.status_success, reading.code, reading.text);
    hy_free(reading.text);
}

}  // namespace KRMatchmakingSystem
