#pragma once

#include <cstdint>
#include <forward_list>
#include <vector>

#include "KRMatchmakingSystem.h"
#include "records/HopperInfo.h"
#include "records/MatchableStatus.h"
#include "util/Clock.h"
#include "util/Contained.h"
#include "util/String.h"

#if defined(__GNUC__)
#define KRMM_PRINTF_LIKE(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define KRMM_PRINTF_LIKE(fmt, args)
#endif

namespace KRTaskSystem {
class Task;
class TaskHeap;
class TaskManager;
}  // namespace KRTaskSystem

namespace KRMatchmakingSystem {

class TaskMatchmakingKeepAliveHeartbeat;

// The current UTC date and time as "YYYY-MM-DD hh:mm:ss"; empty when the
// system time is unavailable.
void FormatTimeStamp(String* out);

// Matchmaker time: unsigned 32-bit milliseconds since the matchmaker's creation.
using MatchmakerTime = uint32_t;

// Heap peak usage, in percent, above which the task manager is replaced.
constexpr double kHighHeapUsagePercent = 70.0;

// The matchmaker behind every krmm_ handle. Its behaviour is split by concern:
// MatchmakingSystem.cpp (life cycle, getters), Logging.cpp, StateMachine.cpp,
// ProcessLoop.cpp, Commands.cpp, Timeouts.cpp, StatusUpdate.cpp,
// MessageCallback.cpp and MatchInfoAccessors.cpp.
class MatchmakingSystem {
public:
    struct LogCallbackNode {
        krmm_log_callback function;
        void* user_data;
        LogCallbackNode* next;
    };
    struct MsgCallbackNode {
        krmm_msg_callback function;
        void* user_data;
        MsgCallbackNode* next;
    };

    // Creation as krmm_create_matchmaking: null if allocation fails.
    static MatchmakingSystem* Create(hy_client* client, const char* name, uint32_t flags);
    // krmm_free_matchmaking.
    static void Destroy(MatchmakingSystem* system);

    krmm_matchmaker* Handle() { return reinterpret_cast<krmm_matchmaker*>(this); }
    static MatchmakingSystem* FromHandle(krmm_matchmaker* handle) {
        return reinterpret_cast<MatchmakingSystem*>(handle);
    }

    // Every call into the matchmaker that may reach the game's callbacks, or
    // that holds the task manager, a task or a callback walk on the stack,
    // runs inside a CallScope: the krmm_ entries, the client library's log
    // and message functions, the task manager pass and drains. A call made
    // while another is running (from a callback) is nested: what it would
    // free (task managers with their tasks, callback nodes) is retired at
    // once and freed when the outermost call ends; so is the matchmaker
    // itself when it is freed from a callback.
    class CallScope {
    public:
        explicit CallScope(MatchmakingSystem* system) : system_(system) { ++system_->depth_; }
        ~CallScope();
        CallScope(const CallScope&) = delete;
        CallScope& operator=(const CallScope&) = delete;

    private:
        MatchmakingSystem* system_;
    };
    // True inside a call that runs within another call of this matchmaker.
    bool InsideAnotherCall() const { return depth_ > 1; }
    // Runs a call from C inside a CallScope; an exception is reported on the
    // matchmaker (ReportContained) and the call answers fallback.
    template <typename Result, typename Body>
    Result Guarded(Result fallback, Body&& body) noexcept;
    template <typename Body>
    void Guarded(Body&& body) noexcept;
    // An ERR line for a call abandoned on an exception (out of memory).
    void ReportContained() noexcept;

    // Where new task managers come from. Plain allocation by default; tests
    // hand in one that fails. Returns null when memory is short.
    typedef KRTaskSystem::TaskManager* (*TaskManagerSource)(const char* name, uint32_t log_mask,
                                                            void* user_data);
    void SetTaskManagerSource(TaskManagerSource source, void* user_data) {
        manager_source_ = source;
        manager_source_user_ = user_data;
    }

    // ---- Life cycle (MatchmakingSystem.cpp) ----
    void Cleanup();
    void SetEmulator(bool enable);
    // The local player's identity id: the emulator's while it is enabled.
    const char* ClientIdentityId();
    // Passed to the client library; null (and nothing called) with the
    // emulator enabled.
    hy_task* MarkIdentityActive(int32_t argument);

    // ---- Logging and messages (Logging.cpp) ----
    krmm_registration* RegisterLogCallback(krmm_log_callback function, void* user_data);
    krmm_registration* RegisterMsgCallback(krmm_msg_callback function, void* user_data);
    void Log(int32_t type, const char* format, ...) KRMM_PRINTF_LIKE(3, 4);
    // True when the flags enable the type and a log callback is registered:
    // only then is a line worth formatting.
    bool WouldLog(int32_t type) const;
    void TriggerMsg(const char* name, int32_t value, const char* text);
    void TriggerError(int32_t code, const char* text);
    // Registered with the task manager and the client library.
    static void TaskLogFunction(KRTaskSystem::TaskManager* manager, uint32_t level,
                                const char* line, void* user_data);
    static bool TaskLogWanted(uint32_t level, void* user_data);
    static void ClientLogFunction(int32_t level, const char* first, const char* second,
                                  void* reserved, void* user_data);

    // ---- State machine (StateMachine.cpp) ----
    void SetState(int32_t state);
    // False when no new task manager could be made: the old one stays, its
    // queue cancelled, and a later pass tries again.
    bool Restart();
    void LeaveMatchmakingAttempt(bool send_decline);
    void SendSingleDecline(const char* ticket);
    void DoStateWork(bool task_manager_was_busy);
    static bool IsInactiveState(int32_t state);

    // ---- Process loop and heartbeat (ProcessLoop.cpp) ----
    bool Process();
    void StartKeepAliveHeartbeat();
    void SendSingleHeartbeat();
    // The old manager is drained and deleted at once, or, inside another
    // call, retired until the outermost call ends. False (reported, the old
    // manager kept) when no new one can be made.
    bool RestartTaskManager() { return ReplaceTaskManager(); }
    void CheckHasHeartbeat();
    bool IsHeapUsageHigh() const;
    // The error a failed ticket request raises for its status code.
    static int32_t TicketErrorForCode(int32_t code);

    // ---- Player commands (Commands.cpp) ----
    bool StartMatchmaking(const char* hopper_id, const char* group_id, const char* second_group_id,
                          uint32_t group_size, const char* attributes_json,
                          const char* values_json);
    bool StopMatchmaking();
    void AcceptMatch();
    void DeclineMatch(bool continue_matchmaking, bool send_decline);
    void StartMatch(const char* join_info);
    bool CreateProof();
    void RequestHopperInfo(const char* hopper_id);
    bool HasHopperInfo(const char* hopper_id) const;

    // ---- Timeouts and error recovery (Timeouts.cpp) ----
    // 400 and 504: failures that error recovery rides out.
    static bool IsTransientCode(int32_t code);
    void FailOrRecover(int32_t error, int32_t code, const char* text);
    void StartErrorRecovery(int32_t error, const char* text);
    void CheckErrorRecovery();
    void CheckMatchmakingTimeout();
    void CheckAcceptTimeout();
    void CheckStartTimeout();

    // ---- Status updates (StatusUpdate.cpp) and pushed messages (MessageCallback.cpp) ----
    void UpdateMatchableStatus(const MatchableStatus& update);
    bool UpdateEstimatedHopperSize(const MatchableStatus& update);
    bool CheckMatchableIdAndSequence(const char* matchable_id, uint32_t seq, bool* new_matchable);
    static void HYMsgCallback(hy_client* client, const char* first, const char* type, hy_json* json,
                              void* user_data);

    // ---- Match info (MatchInfoAccessors.cpp) ----
    int32_t GetMatchInfoNumTeamMembers(int32_t team) const;
    const char* GetMatchInfoTeamMemberId(int32_t team, int32_t member) const;
    const char* GetMatchInfoUserJsonStr(int32_t user) const;

    // ---- Time ----
    MatchmakerTime Now();  // matchmaker time
    // For log lines: a state's name, and milliseconds as seconds.
    static const char* StateName(int32_t state) { return krmm_matchmaking_state_to_str(state); }
    static double Seconds(uint32_t ms) { return ms / 1000.0; }
    uint32_t ClockNow() { return clock_.Now(); }

    // ---- Plain accessors ----
    const char* name() const { return name_; }
    KRTaskSystem::TaskManager* task_manager() const { return task_manager_; }
    hy_client* client() const { return hy_client_; }
    uint32_t flags() const { return flags_; }
    void set_flags(uint32_t flags) { flags_ = flags; }
    int32_t state() const { return state_; }
    const String& ticket() const { return ticket_; }
    const MatchableStatus& current_status() const { return current_status_; }
    const String& previous_matchable_id() const { return previous_matchable_id_; }
    TaskMatchmakingKeepAliveHeartbeat* heartbeat_task() const { return heartbeat_task_; }
    int32_t last_error_code() const { return last_error_code_; }
    const String& last_error_message() const { return last_error_message_; }
    const std::forward_list<HopperInfo>& hopper_infos() const { return hopper_infos_; }

    uint32_t heartbeat_interval = 17000;
    uint32_t matchmaking_timeout = 10800000;
    uint32_t accept_timeout = 20000;
    uint32_t start_timeout = 20000;
    uint32_t error_recover_timeout = 10000;

    // Deadlines (matchmaker time, 0: not armed) and recovery state; public so
    // that tests can inspect them.
    MatchmakerTime matchmaking_deadline = 0;
    MatchmakerTime accept_deadline = 0;
    bool accept_final_heartbeat_sent = false;
    MatchmakerTime start_deadline = 0;
    bool start_final_heartbeat_sent = false;
    int32_t recovery_error_code = 0;
    String recovery_error_message;
    MatchmakerTime recovery_next_retry = 0;
    MatchmakerTime recovery_deadline = 0;
    uint32_t recovery_attempt = 0;
    MatchmakerTime matchmaking_start_time = 0;

private:
    MatchmakingSystem() = default;
    ~MatchmakingSystem() = default;
    MatchmakingSystem(const MatchmakingSystem&) = delete;
    MatchmakingSystem& operator=(const MatchmakingSystem&) = delete;

    // Clears the attempt's deadlines, recovery, ticket and status.
    void ResetAttempt();
    void InitHalyard();
    // A task manager with the matchmaker's log function; null when memory is
    // short. The slot the manager takes when it is retired is reserved here,
    // so that retiring (which clean-up must always manage) never allocates.
    KRTaskSystem::TaskManager* NewTaskManager();
    // Retires the task manager and puts a new one in its place; false, with
    // the old one kept and the shortage reported, when none can be made.
    bool ReplaceTaskManager();
    // Retires the task manager and leaves none (clean-up).
    void DropTaskManager();
    // Logs ERR and raises the "error" message once per shortage; every later
    // pass tries again until a replacement succeeds.
    void ReportManagerShortage();
    // Shuts every retired manager down, processes it until its queue has
    // drained (the finished callbacks free the tasks) and deletes it.
    void DrainRetiredManagers();
    void FreeCallbacks();
    void FreeRetiredCallbacks();
    // Calls every message callback, newest first.
    void DispatchMsg(const char* name, int32_t value, const char* text);
    // Queues a task the matchmaker owns; a refused task is deleted at once
    // and false returned.
    bool QueueTask(KRTaskSystem::Task* task);

    // Request completion handlers (user data: the matchmaker).
    static void OnTicketFinished(KRTaskSystem::Task* task, bool success, int32_t code,
                                 const char* text, void* user_data);
    static void OnHeartbeatFinished(KRTaskSystem::Task* task, bool success, int32_t code,
                                    const char* text, void* user_data);
    static void OnHeartbeatStatus(KRTaskSystem::Task* keep_alive, bool success, int32_t code,
                                  const char* text, void* user_data, const MatchableStatus& status);
    static void OnAcceptFinished(KRTaskSystem::Task* task, bool success, int32_t code,
                                 const char* text, void* user_data);
    static void OnDeclineFinished(KRTaskSystem::Task* task, bool success, int32_t code,
                                  const char* text, void* user_data);
    static void OnSingleDeclineFinished(KRTaskSystem::Task* task, bool success, int32_t code,
                                        const char* text, void* user_data);
    static void OnStartFinished(KRTaskSystem::Task* task, bool success, int32_t code,
                                const char* text, void* user_data);
    static void OnProofFinished(KRTaskSystem::Task* task, bool success, int32_t code,
                                const char* text, void* user_data);
    static void OnHopperInfoComplete(KRTaskSystem::Task* task, bool success, int32_t code,
                                     const char* text, void* user_data);

    // ---- Request plumbing (ProcessLoop.cpp) ----
    typedef void (*RequestFinishedFn)(KRTaskSystem::Task* task, bool success, int32_t code,
                                      const char* text, void* user_data);
    // The heap new requests are built on; null without a task manager.
    KRTaskSystem::TaskHeap* RequestHeap() const;
    // Queues a request whose finished callback deletes it; on failure the
    // task is deleted at once and false returned.
    bool QueueRequest(KRTaskSystem::Task* task, RequestFinishedFn on_finished);
    TaskMatchmakingKeepAliveHeartbeat* QueueHeartbeat(const char* name, uint32_t max_count);
    // SetState(MMS_RESTART) unless already there.
    void EnterRestart();
    void LogTaskCompleted(KRTaskSystem::Task* task, bool success, int32_t code, const char* text);
    void LogRequestCompleted(KRTaskSystem::Task* task, int32_t code, const char* text);

    // ---- Command helpers (Commands.cpp) ----
    // Queues a hard decline for the ticket; false (logged) when it cannot.
    bool QueueDecline();
    // A command whose request could not be queued: error and restart.
    void FailUnqueuedRequest(int32_t error);
    // Applies the status of a finished accept, decline or start request, or
    // its failure as error; deletes the task.
    void ApplyStatusResult(KRTaskSystem::Task* task, bool success, int32_t code, const char* text,
                           int32_t error);
    // Deadline armed and reached.
    bool IsPassed(MatchmakerTime deadline);
    // Now + timeout, or 0 (not armed) for a timeout of 0.
    MatchmakerTime ArmDeadline(uint32_t timeout);

    // ---- Timeout helpers (Timeouts.cpp) ----
    // Grace after a deadline in which others are awaited: sends the final
    // heartbeat once; true when the phase is to be given up.
    bool AwaitFinalHeartbeat(MatchmakerTime deadline, bool* final_heartbeat_sent, const char* phase,
                             const char* phase_title, uint32_t timeout);

    // ---- Transition actions (StatusUpdate.cpp) ----
    void ApplyTransition(int32_t hy_state, bool new_matchable);
    void UnexpectedHalyardState(const char* hy_name);
    void OpenAcceptWindow();
    void AllAccepted();
    void MatchStarted();

    char name_[50] = {};
    KRTaskSystem::TaskManager* task_manager_ = nullptr;
    hy_client* hy_client_ = nullptr;
    uint32_t flags_ = 0;
    LogCallbackNode* log_callbacks_ = nullptr;
    MsgCallbackNode* msg_callbacks_ = nullptr;
    // Bumped when the lists are emptied, so that a running walk stops.
    uint32_t callback_generation_ = 0;
    LogCallbackNode* retired_log_callbacks_ = nullptr;
    MsgCallbackNode* retired_msg_callbacks_ = nullptr;
    int32_t state_ = MMS_INIT;
    String ticket_;
    MatchableStatus current_status_;
    String previous_matchable_id_;
    TaskMatchmakingKeepAliveHeartbeat* heartbeat_task_ = nullptr;
    uint32_t creation_time_ = 0;
    uint32_t state_entry_time_ = 0;
    int32_t last_error_code_ = 0;
    String last_error_message_;
    std::forward_list<HopperInfo> hopper_infos_;  // newest first
    MillisecondClock clock_;
    // CallScopes open; see CallScope.
    int32_t depth_ = 0;
    std::vector<KRTaskSystem::TaskManager*> retired_managers_;  // oldest first
    // A replacement failed for want of memory and waits for a later pass.
    bool replacement_pending_ = false;
    TaskManagerSource manager_source_ = nullptr;
    void* manager_source_user_ = nullptr;
    bool free_pending_ = false;
};

template <typename Result, typename Body>
Result MatchmakingSystem::Guarded(Result fallback, Body&& body) noexcept {
    CallScope scope(this);
    return Contained(fallback, body, [this] { ReportContained(); });
}

template <typename Body>
void MatchmakingSystem::Guarded(Body&& body) noexcept {
    CallScope scope(this);
    Contained(body, [this] { ReportContained(); });
}

}  // namespace KRMatchmakingSystem
