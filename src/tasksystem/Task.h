#pragma once

#include <cstdarg>
#include <cstdint>

#include "tasksystem/TaskHeap.h"

#if defined(__GNUC__)
#define KRTS_PRINTF_LIKE(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define KRTS_PRINTF_LIKE(fmt, args)
#endif

namespace KRTaskSystem {

class TaskManager;
class Task;

// Log levels shared by tasks and the task manager.
enum TaskLogLevel : uint32_t {
    TASK_LOG_INFO = 1,
    TASK_LOG_DEBUG = 2,
    TASK_LOG_WARNING = 4,
    TASK_LOG_ERROR = 8,
};

enum TaskState : uint32_t {
    INITIAL = 0,
    CANCELLING = 1,
    CANCELLED = 2,
    RUNNING = 3,
    DONE = 4,
};

// "INITIAL" ... "DONE"; "UNKNOWN" for anything else.
const char* TaskStateName(uint32_t state);

// Called when the manager removes a finished task. The task may be deleted
// by the callback.
typedef void (*TaskFinishedCallback)(Task* task, bool success, int32_t code, const char* message,
                                     void* user_data);

// One unit of cooperative work advanced by a TaskManager. The task does not
// own itself: whoever creates it deletes it, after it has finished, while its
// heap is still alive.
class Task {
public:
    // name: at most 49 characters are kept; null gives "".
    Task(TaskHeap* heap, const char* name);
    virtual ~Task();

    Task(const Task&) = delete;
    Task& operator=(const Task&) = delete;

    // Pure, with a base behaviour that subclasses call first: stores the
    // manager, takes the start time and logs "Starting...".
    virtual void Start(TaskManager* manager) = 0;
    // True when the task's work is over.
    virtual bool Update() = 0;
    // Marks the task CANCELLING; the task goes on being updated.
    virtual void Cancel();
    virtual void OnFinished(bool cancelled);
    virtual void SetFinishedInfo(bool success, int32_t code, const char* message);

    void SetState(TaskState state);
    // Newest first. False when the heap is full.
    bool AddFinishedCallback(TaskFinishedCallback function, void* user_data);
    void ClearFinishedCallbacks();
    // Runs the finished callbacks, newest first. The task may be gone after.
    void RunFinishedCallbacks();
    // Dropped silently before Start.
    void Log(uint32_t level, const char* format, ...) KRTS_PRINTF_LIKE(3, 4);
    uint32_t GetElapsedMs();

    const char* name() const { return name_; }
    TaskState state() const { return state_; }
    TaskManager* manager() const { return manager_; }
    TaskHeap* heap() const { return heap_; }
    bool success() const { return success_; }
    int32_t result_code() const { return result_code_; }
    // Null until SetFinishedInfo; never null after.
    const char* result_message() const { return result_message_; }
    uint32_t start_time() const { return start_time_; }
    uint32_t finish_time() const { return finish_time_; }
    bool IsFinished() const { return state_ == CANCELLED || state_ == DONE; }

protected:
    // The task system clock.
    uint32_t Now();

private:
    struct CallbackEntry {
        TaskFinishedCallback function;
        void* user_data;
        void* next;  // next entry block in the heap
        TaskHeap* heap;
    };

    TaskManager* manager_ = nullptr;
    TaskHeap* heap_ = nullptr;
    TaskState state_ = INITIAL;
    uint32_t start_time_ = 0;
    char name_[50] = {};
    uint32_t finish_time_ = 0;
    // Set by SetFinishedInfo: a finish time of 0 is a valid clock reading.
    bool has_finish_info_ = false;
    bool success_ = true;
    int32_t result_code_ = 0;
    char* result_message_ = nullptr;
    void* callbacks_ = nullptr;  // newest first
};

}  // namespace KRTaskSystem
