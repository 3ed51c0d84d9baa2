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
