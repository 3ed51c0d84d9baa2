#include "emulator/EmulatedTask.h"

#include "emulator/EmulatedClient.h"
#include "emulator/HalyardEmulator.h"
#include "emulator/StatusBody.h"

namespace KRHalyardEmulator {

const char* TaskTypeName(uint32_t type) {
    switch (type) {
        case TASK_TYPE_MATCHMAKING_TICKET:
            return "TASK_TYPE_MATCHMAKING_TICKET";
        case TASK_TYPE_MATCHMAKE_CLIENT:
            return "TASK_TYPE_MATCHMAKE_CLIENT";
        case TASK_TYPE_KEEP_ALIVE:
            return "TASK_TYPE_KEEP_ALIVE";
        case TASK_TYPE_ACCEPT:
            return "TASK_TYPE_ACCEPT";
        case TASK_TYPE_CANCEL:
            return "TASK_TYPE_CANCEL";
        case TASK_TYPE_START:
            return "TASK_TYPE_START";
        default:
            return "<unknown>";
    }
}

Task::Task(HalyardEmulator& emulator, TaskType type, Client* client)
    : emulator_(emulator), client_(client), id_(emulator.NewUuid()), type_(type) {}

Task::~Task() {
    for (hy_json* value : owned_json_) {
        hy_json_free(value);
    }
}

hy_json* Task::Own(hy_json* value) {
    if (value != nullptr) {
        owned_json_.push_back(value);
    }
    return value;
}

void Task::SetAnswer(const FaultAnswer& answer) {
    status_ = answer.status;
    polls_left_ = answer.pending_polls;
    times_out_ = answer.times_out;
}

bool Task::Poll() {
    if (polls_left_ == 0) {
        return false;
    }
    --polls_left_;
    ++polls_pending_;
    return true;
}

void Task::Describe(RequestKind kind, hy_client* requester, const char* argument) {
    description_ = std::make_unique<Description>();
    description_->kind = kind;
    description_->requester = requester;
    description_->argument = argument != nullptr ? argument : "";
}

hy_json* TaskFaulted::GetJson() {
    hy_json* body = hy_json_new_object();
    hy_json_set_string_key(body, "error", "emulated backend fault");
    hy_json_set_integer_key(body, "status", status());
    return Own(body);
}

hy_json* TaskMatchmakingTicket::GetJson() {
    return client() != nullptr ? Own(BuildTicketBody(*client())) : nullptr;
}

hy_json* TaskMatchableStatus::GetJson() {
    Client* subject = client();
    if (subject == nullptr || subject->hopper() == nullptr) {
        return nullptr;
    }
    return Own(BuildMatchableStatus(emulator(), *subject->hopper(), *subject, false));
}

}  // namespace KRHalyardEmulator
