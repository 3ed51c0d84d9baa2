#pragma once

#include <cstdint>

#include "requests/TaskMatchmaking.h"

namespace KRMatchmakingSystem {

// Asks the backend to queue this client in a hopper; on success holds the
// ticket that names the client's place in matchmaking.
class TaskMatchmakingTicket : public TaskMatchmaking {
public:
    // Null or empty texts are stored empty.
    TaskMatchmakingTicket(KRTaskSystem::TaskHeap* heap, MatchmakingSystem* system,
                          const char* hopper_id, const char* group_id,
                          const char* second_group_id, uint32_t group_size,
                          const char* attributes_json, const char* values_json);

    void Start(KRTaskSystem::TaskManager* manager) override;
    void OnFinished(bool cancelled) override;

    const String& ticket() const { return ticket_; }
    const String& hopper_id() const { return hopper_id_; }

private:
    String ticket_;
    String hopper_id_;
    String group_id_;
    String second_group_id_;
    uint32_t group_size_ = 0;
    String attributes_json_;
    String values_json_;
};

}  // namespace KRMatchmakingSystem
