#include "tasksystem/Task.h"

#include <cstdio>

#include "tasksystem/TaskManager.h"
#include "tasksystem/TaskText.h"
#include "util/Clock.h"

namespace KRTaskSystem {

namespace {

// The task system clock; tasks read it even before they have a manager
// (retry and send times are planned at construction).
KRMatchmakingSystem::MillisecondClock g_task_clock;

// Kept when the heap cannot hold a result message, so the message is never
// null. Lies outside every heap, so TaskHeap::Free ignores it.
char g_empty_message[1] = {'\0'};

}  // namespace

const char* TaskStateName(uint32_t state) {
    switch (state) {
        case INITIAL:
            return "INITIAL";
        case CANCELLING:
            return "CANCELLING";
        case CANCELLED:
            return "CANCELLED";
        case RUNNING:
            return "RUNNING";
        case DONE:
            return "DONE";
        default:
            return "UNKNOWN";
    }
}

Task::Task(TaskHeap* heap, const char* name) : heap_(heap) {
    CopyBoundedName(name_, name);
}

Task::~Task() {
    state_ = INITIAL;
    start_time_ = 0;
    name_[0] = '\0';
    if (heap_ != nullptr) {
        heap_->Free(result_message_);
    }
    result_message_ = nullptr;
    success_ = true;
    result_code_ = 0;
    ClearFinishedCallbacks();
}

void Task::Start(TaskManager* manager) {
    manager_ = manager;
    start_time_ = Now();
    Log(TASK_LOG_INFO, "Starting...");
}

void Task::Cancel() {
    if (state_ == CANCELLING || state_ == CANCELLED) {
        return;
    }
    Log(TASK_LOG_INFO, "Cancelling...");
    state_ = CANCELLING;
}

void Task::OnFinished(bool /*cancelled*/) {
    SetFinishedInfo(true, 0, nullptr);
}

void Task::SetFinishedInfo(bool success, int32_t code, const char* message) {
    if (has_finish_info_) {
        Log(TASK_LOG_WARNING, "SetFinishedInfo: Already called, ignoring second call...");
        return;
    }
    if (state_ == RUNNING) {
        Log(TASK_LOG_DEBUG, "'%s' -> '%s'", TaskStateName(RUNNING), TaskStateName(DONE));
        state_ = DONE;
    } else if (state_ == CANCELLING) {
        Log(TASK_LOG_DEBUG, "'%s' -> '%s'", TaskStateName(CANCELLING), TaskStateName(CANCELLED));
        state_ = CANCELLED;
    }

    if (heap_ != nullptr) {
        heap_->Free(result_message_);
    }
    finish_time_ = Now();
    has_finish_info_ = true;
    result_code_ = code;
    success_ = success;
    result_message_ = heap_ != nullptr ? heap_->StrDup(message) : nullptr;
    if (result_message_ == nullptr) {
        result_message_ = g_empty_message;
        Log(TASK_LOG_ERROR, "SetFinishedInfo: Task heap full, result message dropped");
    }
    Log(TASK_LOG_INFO, "Finished in %.2fs",
        static_cast<double>(finish_time_ - start_time_) / 1000.0);
}

void Task::SetState(TaskState state) {
    if (state == state_) {
        Log(TASK_LOG_WARNING, "SetState: Already in state '%s', call ignored...",
            TaskStateName(state));
        return;
    }
    Log(TASK_LOG_DEBUG, "'%s' -> '%s'", TaskStateName(state_), TaskStateName(state));
    state_ = state;
}

bool Task::AddFinishedCallback(TaskFinishedCallback function, void* user_data) {
    void* block = heap_ != nullptr ? heap_->Alloc(sizeof(CallbackEntry)) : nullptr;
    if (block == nullptr) {
        Log(TASK_LOG_ERROR, "AddFinishedCallback: Task heap full, callback not added");
        return false;
    }
    StoreEntry(block, CallbackEntry{function, user_data, callbacks_, heap_});
    callbacks_ = block;
    return true;
}

void Task::ClearFinishedCallbacks() {
    void* block = callbacks_;
    callbacks_ = nullptr;
    while (block != nullptr) {
        const CallbackEntry entry = LoadEntry<CallbackEntry>(block);
        entry.heap->Free(block);
        block = entry.next;
    }
}

// The list is detached before the first call, so a callback may delete the
// task: nothing below reads the task after a callback has run. The entries
// are given back once every callback has run.
void Task::RunFinishedCallbacks() {
    void* const first = callbacks_;
    callbacks_ = nullptr;
    const bool success = success_;
    const int32_t code = result_code_;
    const char* const message = result_message_ ? result_message_ : g_empty_message;
    Task* const self = this;

    for (void* block = first; block != nullptr;) {
        const CallbackEntry entry = LoadEntry<CallbackEntry>(block);
        if (entry.function != nullptr) {
            entry.function(self, success, code, message, entry.user_data);
        }
        block = entry.next;
    }
    for (void* block = first; block != nullptr;) {
        const CallbackEntry entry = LoadEntry<CallbackEntry>(block);
        entry.heap->Free(block);
        block = entry.next;
    }
}

void Task::Log(uint32_t level, const char* format, ...) {
    if (manager_ == nullptr || !manager_->WouldLog(level)) {
        return;
    }
    char message[kLogBufferSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof(message), format, args);
    va_end(args);

    const double started = static_cast<double>(start_time_ - manager_->init_time()) / 1000.0;
    const double age = static_cast<double>(GetElapsedMs()) / 1000.0;
    manager_->Log(level, "s[%2.1fs]a[%.1fs][%s] %s", started, age, name_, message);
}

uint32_t Task::GetElapsedMs() {
    const uint32_t end = has_finish_info_ ? finish_time_ : Now();
    return end - start_time_;
}

uint32_t Task::Now() {
    return g_task_clock.Now();
}

}  // namespace KRTaskSystem
