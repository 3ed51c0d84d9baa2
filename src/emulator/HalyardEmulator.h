#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "emulator/Faults.h"
#include "halyard.h"

#if defined(__GNUC__) || defined(__clang__)
#define KRHYE_PRINTF_LIKE(format_index, first_arg) \
    __attribute__((format(printf, format_index, first_arg)))
#else
#define KRHYE_PRINTF_LIKE(format_index, first_arg)
#endif

namespace KRHalyardEmulator {

class Client;
class Hopper;
class Task;
enum TaskType : uint32_t;

// Levels of the emulator's own log lines; the line shows "NFO", "DBG", "WRN".
enum EmulatorLogLevel : int32_t {
    EMU_LOG_INFO = 0,
    EMU_LOG_DEBUG = 1,
    EMU_LOG_WARNING = 2,
};

// "NFO", "DBG", "WRN", or "UKN" for any other level.
const char* EmulatorLogTag(int32_t level);

// Receives every finished emulator line, "[HYE][tag] message\n" exactly as it
// would be written, newline included.
using OutputSink = void (*)(const char* line, void* user);
// Fills out with count random bytes; false on failure.
using RandomSource = bool (*)(uint8_t* out, std::size_t count);
// Told about each finished exchange (Faults.h). The texts are valid during
// the call only.
using ExchangeObserver = void (*)(const Exchange& exchange, void* user);
// Told about each request the fault plan changed, with the answer drawn for it.
using FaultObserver = void (*)(RequestKind kind, const FaultAnswer& answer, void* user);

// The process-wide in-process emulation of the backend's matchmaking service.
// Created on first use, never destroyed. Task and response handles are the
// task's own id text; an emulated task is its own response.
//
// Requests that name a ticket the emulator never issued (a ticket from the
// real backend, or stray text) are answered like every emulated request: with
// a registered, successful task that has no client. Tasks without a client
// answer with no JSON body, so a caller parsing a status sees "no status"
// rather than a made-up one.
class HalyardEmulator {
public:
    // The one emulator of the process, created on first use.
    static HalyardEmulator& Instance();

    HalyardEmulator(const HalyardEmulator&) = delete;
    HalyardEmulator& operator=(const HalyardEmulator&) = delete;

    bool enabled() const { return enabled_; }
    void set_enabled(bool enabled) { enabled_ = enabled; }

    // True when handle is the address of the id text of a live task.
    //
    // The switch layer asks this about every task and response handle while
    // the emulator is on, including handles of the client library, which are
    // not texts at all. Reading such a handle as characters would read foreign
    // memory, so the handle is matched by address against the id texts this
    // emulator handed out, and never dereferenced. Consequently only the exact
    // pointers returned by the request operations count as emulator handles; a
    // copy of an id text elsewhere in memory does not.
    bool IsEmulatorHandle(const void* handle) const;

    // Task and response operations. Handles are looked up by their characters,
    // so a copy of an id text works too. A handle naming no live task is
    // answered as a task that is not okay: not pending, not timed out, not
    // okay, no response, status code -1 (no request), no JSON.
    void TaskFree(const char* task_id);
    bool TaskIsPending(const char* task_id);
    bool TaskIsTimedOut(const char* task_id);
    bool TaskIsOkay(const char* task_id);
    const char* TaskFetchResponse(const char* task_id);
    void ResponseFree(const char* response_id);
    int32_t ResponseGetStatusCode(const char* response_id);
    bool ResponseIsOkay(const char* response_id);
    // Built afresh at each call; owned by the task and released with it.
    hy_json* ResponseGetJson(const char* response_id);

    // Requests: each returns the id text of the new registered task, or null
    // when no task is made. JSON values handed to a request belong to it, as
    // with the client library: the emulator releases them.
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

    // The identity id the emulator shows for a backend client handle; stable
    // per handle. A null handle is a handle like any other: matchmakers made
    // without a backend client share its identity.
    const char* GetIdentity(hy_client* client);

    // ---- Internal operations used by clients, hoppers and tasks ----

    // Formats one line "[HYE][tag] message\n" (message and line each cut to
    // 2047 characters) and hands it to the output.
    void EmulatorLog(int32_t level, const char* format, ...) KRHYE_PRINTF_LIKE(3, 4);
    // A fresh 36-character UUID text with "4" at character 14.
    std::string NewUuid();
    // Enters task in the task table and returns it.
    Task& RegisterTask(std::unique_ptr<Task> task);
    Hopper& EnsureHopperExists(const std::string& hopper_id);
    // Makes the client for one ticket request and returns its ticket task.
    Task& GenerateTicket(hy_client* client, const std::string& hopper_id);

    // Lookups (null when absent).
    Client* FindClient(const char* ticket) const;
    Hopper* FindHopper(const char* hopper_id) const;
    Task* FindTask(const char* task_id) const;
    std::size_t task_count() const { return tasks_.size(); }
    std::size_t client_count() const { return clients_by_ticket_.size(); }

    // Redirects the emulator's lines (a tool printing its own summary, tests).
    // A null sink restores the default: standard output and debugger output.
    void SetOutput(OutputSink sink, void* user);
    // Replaces the random source of UUIDs; null restores the platform's.
    void SetRandomSource(RandomSource source);

    // Backend faults (Faults.h). An empty plan, the default, answers every
    // request at once with 200 and logs exactly as without this call; a plan
    // with rules also logs a WRN line "HalyardEmulator::Fault: ..." for every
    // request it changes.
    void SetFaultPlan(FaultPlan plan);
    // Calls observer for every request the fault plan changes, as it logs
    // that request's "HalyardEmulator::Fault" line: a tool counts the faults
    // it injected without reading the lines. Null (the default) switches it
    // off.
    void SetFaultObserver(FaultObserver observer, void* user);
    // Calls observer once per completed exchange, when the caller frees its
    // task: the backend client handle, the request kind, the ticket (the
    // hopper id for a ticket request), the answer's status code, the last
    // body the caller read (serialised) and the number of polls that found it
    // pending. Requests made before the observer was set are not reported.
    // Null (the default) switches observation off; tasks then record nothing.
    void SetExchangeObserver(ExchangeObserver observer, void* user);

    // Drops every task, client, hopper and identity and switches the emulator
    // off, as if it had just been created; output, random source, fault plan
    // and observers are kept.
    // Handles given out before are invalid afterwards.
    void Reset();

private:
    HalyardEmulator();
    ~HalyardEmulator();

    void LogCall(const char* call_line, const char* detail_format, const char* handle);
    // The live task named by a handle, or null (with a warning naming the call).
    Task* ResolveTask(const char* operation, const char* handle);
    // Answers one request under the fault plan: a request the plan loses
    // never reaches perform (which carries it out and returns its task, or
    // null for none). Returns the handle of the answering task, or null.
    template <class Perform>
    const char* Answer(RequestKind kind, TaskType type, hy_client* requester, const char* argument,
                       Perform perform);

    bool enabled_ = false;
    std::unordered_map<std::string, std::unique_ptr<Hopper>> hoppers_;
    std::unordered_map<std::string, std::unique_ptr<Task>> tasks_;
    // Addresses of the id texts of the tasks in tasks_, for IsEmulatorHandle.
    std::unordered_set<const void*> live_handles_;
    std::unordered_map<std::string, std::unique_ptr<Client>> clients_by_ticket_;
    std::unordered_map<const hy_client*, std::string> identities_;

    OutputSink sink_ = nullptr;
    void* sink_user_ = nullptr;
    RandomSource random_source_ = nullptr;
    bool warned_random_failure_ = false;
    FaultPlan faults_;
    ExchangeObserver observer_ = nullptr;
    void* observer_user_ = nullptr;
    FaultObserver fault_observer_ = nullptr;
    void* fault_observer_user_ = nullptr;
    uint64_t fallback_state_ = 0;
};

}  // namespace KRHalyardEmulator
