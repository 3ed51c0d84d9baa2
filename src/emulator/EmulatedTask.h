#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

// One emulated request. It is complete and successful from the moment it
// exists, and it is its own response: the handle of both is its id text.
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
