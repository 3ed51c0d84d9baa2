#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "emulator/Faults.h"
#include "halyard.h"

namespace KRHalyardEmulator {

class Client;
class HalyardEmulator;

// What an emulated task answers; the log prints the name.
enum TaskType : uint32_t {
    TASK_TYPE_MATCHMAKING_TICKET = 0,
    TASK_TYPE_MATCHMAKE_CLIENT = 1,
    TASK_TYPE_KEEP_ALIVE = 2,  // never created: a keep-alive answers as MATCHMAKE_CLIENT
    TASK_TYPE_ACCEPT = 3,
    TASK_TYPE_CANCEL = 4,
    TASK_TYPE_START = 5,
};

// "TASK_TYPE_MATCHMAKING_TICKET" ...; "<unknown>" for any other value.
const char* TaskTypeName(uint32_t type);

// One emulated request; it is its own response: the handle of both is its id
// text. It is complete and successful (200) from the moment it exists, unless
// the fault plan gave it another answer (Faults.h).
class Task {
public:
    Task(HalyardEmulator& emulator, TaskType type, Client* client);
    // Releases every body the task has handed out.
    virtual ~Task();

    Task(const Task&) = delete;
    Task& operator=(const Task&) = delete;

    // A new body describing the task's client as of now; owned by the task.
    // Null when there is nothing to describe.
    virtual hy_json* GetJson() { return nullptr; }

    const std::string& id() const { return id_; }
    TaskType type() const { return type_; }
    Client* client() const { return client_; }

    // The answer the fault plan chose, in place of "at once, 200".
    void SetAnswer(const FaultAnswer& answer);
    // One hye_task_is_pending poll: true while the answer is still held back.
    bool Poll();
    bool timed_out() const { return times_out_ && polls_left_ == 0; }
    bool okay() const { return !times_out_ && status_ >= 200 && status_ <= 399; }
    int32_t status() const { return times_out_ ? -1 : status_; }
    uint32_t polls_pending() const { return polls_pending_; }

    // What the exchange observer is told when the task is freed; kept only
    // while an observer listens.
    struct Description {
        RequestKind kind = RequestKind::kTicket;
        hy_client* requester = nullptr;
        std::string argument;
        std::string last_body;
    };
    void Describe(RequestKind kind, hy_client* requester, const char* argument);
    Description* description() const { return description_.get(); }

protected:
    // Keeps value until the task is destroyed and returns it.
    hy_json* Own(hy_json* value);
    HalyardEmulator& emulator() const { return emulator_; }

private:
    HalyardEmulator& emulator_;
    Client* client_;
    std::vector<hy_json*> owned_json_;
    std::string id_;
    TaskType type_;
    int32_t status_ = 200;
    uint32_t polls_left_ = 0;
    uint32_t polls_pending_ = 0;
    bool times_out_ = false;
    std::unique_ptr<Description> description_;
};

// The answer to a request the fault plan lost before the hopper saw it: the
// drawn status code (set with SetAnswer) with an error body
// {"error": ..., "status": code}.
class TaskFaulted : public Task {
public:
    TaskFaulted(HalyardEmulator& emulator, TaskType type) : Task(emulator, type, nullptr) {}
    hy_json* GetJson() override;
};

// Answers with {"ticket": ...} of its client.
class TaskMatchmakingTicket : public Task {
public:
    TaskMatchmakingTicket(HalyardEmulator& emulator, Client* client)
        : Task(emulator, TASK_TYPE_MATCHMAKING_TICKET, client) {}
    hy_json* GetJson() override;
};

// Answers with its client's matchable status. A task without a client (a
// ticket the hopper does not hold, or one the emulator never issued) has no
// body: there is no matchable to describe, and inventing one would let a
// stray ticket look like a live attempt.
class TaskMatchableStatus : public Task {
public:
    hy_json* GetJson() override;

protected:
    TaskMatchableStatus(HalyardEmulator& emulator, TaskType type, Client* client)
        : Task(emulator, type, client) {}
};

class TaskMatchmakeClient : public TaskMatchableStatus {
public:
    TaskMatchmakeClient(HalyardEmulator& emulator, Client* client)
        : TaskMatchableStatus(emulator, TASK_TYPE_MATCHMAKE_CLIENT, client) {}
};

class TaskAccept : public TaskMatchableStatus {
public:
    TaskAccept(HalyardEmulator& emulator, Client* client)
        : TaskMatchableStatus(emulator, TASK_TYPE_ACCEPT, client) {}
};

class TaskCancel : public TaskMatchableStatus {
public:
    TaskCancel(HalyardEmulator& emulator, Client* client)
        : TaskMatchableStatus(emulator, TASK_TYPE_CANCEL, client) {}
};

class TaskStart : public TaskMatchableStatus {
public:
    TaskStart(HalyardEmulator& emulator, Client* client)
        : TaskMatchableStatus(emulator, TASK_TYPE_START, client) {}
};

}  // namespace KRHalyardEmulator
