#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <new>

#include "tasksystem/Task.h"
#include "tasksystem/TaskHeap.h"
#include "util/Clock.h"

namespace KRTaskSystem {

// Singly linked task list whose entries live in a TaskHeap; new tasks go at
// the tail. Used for the manager's queue and for composite children.
struct TaskList {
    void* head = nullptr;  // entry blocks: {Task*, next, TaskHeap*}
    void* tail = nullptr;

    bool empty() const { return head == nullptr; }
    // False when the heap is full.
    bool Append(TaskHeap* heap, Task* task);
    // Unlinks the first entry of task and gives it back to its heap; false
    // when task is not in the list.
    bool Remove(Task* task);
};

typedef void (*TaskLogCallback)(class TaskManager* manager, uint32_t level, const char* line,
                                void* user_data);
// Whether a log callback would keep a line of this level; asked before any
// formatting, so that lines nobody keeps cost nothing.
typedef bool (*TaskLogFilter)(uint32_t level, void* user_data);

// The cooperative runner: one per matchmaker. Every queued task advances one
// step per Process call. The manager never deletes a task. It is one fixed
// object with its heap region embedded and allocates nothing else.
class TaskManager {
public:
    static constexpr std::size_t kHeapSize = 262144;

    // Init: name (null gives "", at most 49 characters) and log level mask.
    TaskManager(const char* name, uint32_t log_mask);
    ~TaskManager() = default;
    TaskManager(const TaskManager&) = delete;
    TaskManager& operator=(const TaskManager&) = delete;

    // Each manager gets a block of its own, placed so that the busy first
    // bytes of different managers fall into different cache sets
    // (TaskManagerPlacement.h); deleting it frees the block.
    static void* operator new(std::size_t size);
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
    static void operator delete(void* block, std::size_t size) noexcept;
    static void operator delete(void* block, const std::nothrow_t&) noexcept;

    // wants, when given, tells which levels the callback keeps.
    bool AddLogCallback(TaskLogCallback function, void* user_data, TaskLogFilter wants = nullptr);
    // True when a line of level passes the mask and some callback keeps it.
    bool WouldLog(uint32_t level) const;
    // False (with a warning) when the manager is not running; the caller
    // keeps the task.
    bool AddTask(Task* task);
    // One pass; true when the queue was empty when the pass began.
    bool Process();
    void CancelAll();
    // True when the queue was empty and the manager has been reset.
    bool Shutdown();
    // One step for every task of list; shared with composite tasks.
    static bool ProcessTaskList(TaskManager* manager, TaskList* list);

    void Log(uint32_t level, const char* format, ...) KRTS_PRINTF_LIKE(3, 4);
    void LogV(uint32_t level, const char* format, va_list args);

    TaskHeap* heap() { return &heap_; }
    float peak_usage() const { return heap_.peak_usage(); }
    bool heap_at_start() const { return heap_.IsAtStart(); }
    int32_t pass_count() const { return pass_count_; }
    uint32_t init_time() const { return init_time_; }
    uint32_t log_mask() const { return log_mask_; }
    // True from the first Shutdown call on: no task is accepted any more and
    // every queued task is cancelled on each pass.
    bool shutting_down() const { return shutting_down_; }
    const char* name() const { return name_; }
    bool queue_empty() const { return queue_.empty(); }
    // The task system clock.
    uint32_t Now() { return clock_.Now(); }

private:
    struct LogCallbackEntry {
        TaskLogCallback function;
        void* user_data;
        TaskLogFilter wants;
        void* next;
        TaskHeap* heap;
    };

    uint32_t init_time_ = 0;
    uint32_t log_mask_ = 0;
    bool shutting_down_ = false;
    char name_[50] = {};
    TaskList queue_;
    void* log_callbacks_ = nullptr;  // newest first
    int32_t pass_count_ = 0;
    TaskHeap heap_;
    KRMatchmakingSystem::MillisecondClock clock_;
    alignas(16) uint8_t region_[kHeapSize];
};

}  // namespace KRTaskSystem
