#include "matchmaking/MatchmakingSystem.h"

#include <cstring>
#include <new>

#include "halyard.h"
#include "rating/Glicko2.h"
#include "tasksystem/Task.h"
#include "tasksystem/TaskManager.h"

namespace KRMatchmakingSystem {

namespace {
// The task manager writes its info, warning and error lines; debug is off.
constexpr uint32_t kTaskLogMask =
    KRTaskSystem::TASK_LOG_INFO | KRTaskSystem::TASK_LOG_WARNING | KRTaskSystem::TASK_LOG_ERROR;
}  // namespace

MatchmakingSystem* MatchmakingSystem::Create(hy_client* client, const char* name, uint32_t flags) {
    MatchmakingSystem* system = new (std::nothrow) MatchmakingSystem();
    if (system == nullptr) {
        return nullptr;
    }
    system->hy_client_ = client;
    system->creation_time_ = system->clock_.Now();
    system->state_entry_time_ = system->creation_time_;
    if (name != nullptr) {
        // At most 49 characters stay; the last byte is always the terminator.
        const std::size_t length = strnlen(name, sizeof(system->name_) - 1);
        std::memcpy(system->name_, name, length);
        system->name_[length] = '\0';
    }
    system->flags_ = flags;
    system->task_manager_ = system->NewTaskManager();
    if (system->task_manager_ == nullptr) {
        delete system;
        return nullptr;
    }
    system->InitHalyard();
    system->Log(KRMM_LOG_NFO, "Initializing matchmaking system '%s'", system->name_);
    system->Log(KRMM_LOG_NFO, "Glicko2 Unit Test: %s",
                RunGlicko2SelfTest() ? "success" : "failure");
    system->Log(KRMM_LOG_NFO, "SetEmulator: %s Halyard emulator", "Disabled");
    hye_emulator_init(0);
    system->state_ = MMS_IDLE;
    return system;
}

void MatchmakingSystem::Destroy(MatchmakingSystem* system) {
    if (system == nullptr) {
        return;
    }
    // The end of the outermost call deletes it: this one, or the one whose
    // callback frees the matchmaker.
    CallScope scope(system);
    Contained([system] { system->Cleanup(); }, [system] { system->ReportContained(); });
    system->free_pending_ = true;
}

MatchmakingSystem::CallScope::~CallScope() {
    // Every krmm_process ends here: most calls retired nothing. The drain
    // runs request callbacks, whose exceptions must not leave a destructor.
    if (system_->depth_ == 1) {
        if (!system_->retired_managers_.empty()) {
            Contained([this] { system_->DrainRetiredManagers(); },
                      [this] { system_->ReportContained(); });
        }
        if (system_->retired_log_callbacks_ != nullptr ||
            system_->retired_msg_callbacks_ != nullptr) {
            system_->FreeRetiredCallbacks();
        }
    }
    if (--system_->depth_ == 0 && system_->free_pending_) {
        delete system_;
    }
}

void MatchmakingSystem::ResetAttempt() {
    matchmaking_deadline = 0;
    accept_deadline = 0;
    start_deadline = 0;
    recovery_deadline = 0;
    recovery_error_code = 0;
    recovery_next_retry = 0;
    matchmaking_start_time = 0;
    ticket_.Clear();
    current_status_.Clear();
}

void MatchmakingSystem::InitHalyard() {
    if (hy_client_ == nullptr) {
        Log(KRMM_LOG_DBG, "InitHalyard: Cannot initialize without a halyard client");
        return;
    }
    Log(KRMM_LOG_DBG, "Initializing halyard...");
    hy_client_add_log_func(hy_client_, &MatchmakingSystem::ClientLogFunction, this);
    hy_client_add_msg_func(hy_client_, &MatchmakingSystem::HYMsgCallback, this);
}

KRTaskSystem::TaskManager* MatchmakingSystem::NewTaskManager() {
    // Room for this manager's retirement, and for the current one's.
    try {
        retired_managers_.reserve(retired_managers_.size() + (task_manager_ != nullptr ? 2 : 1));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    KRTaskSystem::TaskManager* manager =
        manager_source_ != nullptr ? manager_source_(name_, kTaskLogMask, manager_source_user_)
                                   : new (std::nothrow)
                                         KRTaskSystem::TaskManager(name_, kTaskLogMask);
    if (manager != nullptr) {
        // The first entry of an empty heap always fits.
        manager->AddLogCallback(&MatchmakingSystem::TaskLogFunction, this,
                                &MatchmakingSystem::TaskLogWanted);
    }
    return manager;
}

bool MatchmakingSystem::ReplaceTaskManager() {
    KRTaskSystem::TaskManager* replacement = NewTaskManager();
    if (replacement == nullptr) {
        ReportManagerShortage();
        return false;
    }
    replacement_pending_ = false;
    DropTaskManager();
    task_manager_ = replacement;
    return true;
}

void MatchmakingSystem::DropTaskManager() {
    if (task_manager_ != nullptr) {
        retired_managers_.push_back(task_manager_);  // its slot is reserved
        task_manager_ = nullptr;
    }
    // Inside another call the old manager may be running the pass, a task or
    // a log line that led here.
    if (!InsideAnotherCall()) {
        DrainRetiredManagers();
    }
}

void MatchmakingSystem::ReportManagerShortage() {
    if (replacement_pending_) {
        return;  // reported when the shortage began
    }
    replacement_pending_ = true;
    Log(KRMM_LOG_ERR, "Out of memory - no new task manager, trying again on the next pass");
    TriggerError(MME_NOT_MATCHMAKING, "out of memory");
}

void MatchmakingSystem::ReportContained() noexcept {
    Contained([this] { Log(KRMM_LOG_ERR, "Out of memory - the call was abandoned"); }, [] {});
}

void MatchmakingSystem::DrainRetiredManagers() {
    // Callbacks run by the drain are nested calls: what they retire joins
    // the list and is drained by this loop.
    CallScope drain(this);
    while (!retired_managers_.empty()) {
        KRTaskSystem::TaskManager* manager = retired_managers_.front();
        retired_managers_.erase(retired_managers_.begin());
        // Every pass cancels what is still queued; requests end as soon as
        // their backend task is no longer pending, and their finished
        // callbacks free them.
        while (!manager->Shutdown()) {
            manager->Process();
        }
        delete manager;
    }
}

void MatchmakingSystem::Cleanup() {
    FreeCallbacks();
    DropTaskManager();
    // A replacement still owed for want of memory is owed no more: only
    // krmm_restart makes a manager for a cleaned-up matchmaker.
    replacement_pending_ = false;
    if (hy_client_ != nullptr) {
        hy_client_remove_log_func(hy_client_, &MatchmakingSystem::ClientLogFunction);
        hy_client_remove_msg_func(hy_client_, &MatchmakingSystem::HYMsgCallback);
    }
    ticket_.Clear();
    current_status_.Clear();
}

void MatchmakingSystem::SetEmulator(bool enable) {
    Log(KRMM_LOG_NFO, "SetEmulator: %s Halyard emulator", enable ? "Enabled" : "Disabled");
    hye_emulator_init(enable ? 1 : 0);
}

bool MatchmakingSystem::QueueTask(KRTaskSystem::Task* task) {
    if (task == nullptr) {
        return false;
    }
    if (task_manager_ == nullptr || !task_manager_->AddTask(task)) {
        // Refused tasks were never started: nothing else refers to them.
        delete task;
        return false;
    }
    return true;
}

const char* MatchmakingSystem::ClientIdentityId() {
    return hye_client_get_identity_id(hy_client_);
}

hy_task* MatchmakingSystem::MarkIdentityActive(int32_t argument) {
    if (hye_emulator_is_enabled()) {
        return nullptr;
    }
    return hy_r_mark_identity_active(hy_client_, argument);
}

MatchmakerTime MatchmakingSystem::Now() {
    return clock_.Now() - creation_time_;
}

}  // namespace KRMatchmakingSystem
