#include "tasksystem/TaskManager.h"

#include <cstdio>

#include "tasksystem/TaskText.h"

namespace KRTaskSystem {

namespace {

// One entry of a task list, stored unaligned in its heap.
struct ListEntry {
    Task* task;
    void* next;
    TaskHeap* heap;
};

const char* LevelTag(uint32_t level) {
    switch (level) {
        case TASK_LOG_INFO:
            return "NFO";
        case TASK_LOG_DEBUG:
            return "DBG";
        case TASK_LOG_WARNING:
            return "WRN";
        case TASK_LOG_ERROR:
            return "ERR";
        default:
            return "UKN";
    }
}

// Advances one task by one step; true when it is finished afterwards. A task
// cancelled before it ever started is updated without being started.
bool StepTask(TaskManager* manager, Task* task) {
    switch (task->state()) {
        case INITIAL:
            task->Start(manager);
            task->SetState(RUNNING);
            break;
        case RUNNING:
            if (task->Update()) {
                task->OnFinished(false);
            }
            break;
        case CANCELLING:
            if (task->Update()) {
                task->OnFinished(true);
            }
            break;
        case CANCELLED:
        case DONE:
            break;
    }
    return task->IsFinished();
}

void SetNext(TaskList* list, void* previous, void* next) {
    if (previous == nullptr) {
        list->head = next;
    } else {
        ListEntry entry = LoadEntry<ListEntry>(previous);
        entry.next = next;
        StoreEntry(previous, entry);
    }
}

// Unlinks block (whose predecessor is previous), keeping the tail right.
void Unlink(TaskList* list, void* previous, void* block) {
    SetNext(list, previous, LoadEntry<ListEntry>(block).next);
    if (list->tail == block) {
        list->tail = previous;
    }
}

void CancelTasks(const TaskList& list) {
    for (void* block = list.head; block != nullptr;) {
        const ListEntry entry = LoadEntry<ListEntry>(block);
        entry.task->Cancel();
        block = entry.next;
    }
}

}  // namespace

bool TaskList::Append(TaskHeap* heap, Task* task) {
    void* block = heap != nullptr ? heap->Alloc(sizeof(ListEntry)) : nullptr;
    if (block == nullptr) {
        return false;
    }
    StoreEntry(block, ListEntry{task, nullptr, heap});
    SetNext(this, tail, block);
    tail = block;
    return true;
}

bool TaskList::Remove(Task* task) {
    void* previous = nullptr;
    for (void* block = head; block != nullptr;) {
        const ListEntry entry = LoadEntry<ListEntry>(block);
        if (entry.task == task) {
            Unlink(this, previous, block);
            entry.heap->Free(block);
            return true;
        }
        previous = block;
        block = entry.next;
    }
    return false;
}

TaskManager::TaskManager(const char* name, uint32_t log_mask) {
    heap_.Init(region_, kHeapSize);
    CopyBoundedName(name_, name);
    log_mask_ = log_mask;
    init_time_ = clock_.Now();
}

bool TaskManager::AddLogCallback(TaskLogCallback function, void* user_data, TaskLogFilter wants) {
    void* block = heap_.Alloc(sizeof(LogCallbackEntry));
    if (block == nullptr) {
        Log(TASK_LOG_ERROR, "Failed adding log callback because the task heap is full");
        return false;
    }
    StoreEntry(block, LogCallbackEntry{function, user_data, wants, log_callbacks_, &heap_});
    log_callbacks_ = block;
    return true;
}

bool TaskManager::AddTask(Task* task) {
    if (task == nullptr) {
        Log(TASK_LOG_ERROR, "Failed adding a null task to the task queue");
        return false;
    }
    if (shutting_down_) {
        Log(TASK_LOG_WARNING,
            "Failed adding task '%s' to the task queue because task system isn't running",
            task->name());
        return false;
    }
    Log(TASK_LOG_INFO, "Adding task '%s' (0x%p)", task->name(), static_cast<void*>(task));
    if (!queue_.Append(&heap_, task)) {
        Log(TASK_LOG_ERROR,
            "Failed adding task '%s' to the task queue because the task heap is full",
            task->name());
        return false;
    }
    return true;
}

bool TaskManager::Process() {
    ++pass_count_;
    return ProcessTaskList(this, &queue_);
}

void TaskManager::CancelAll() {
    CancelTasks(queue_);
}

bool TaskManager::Shutdown() {
    const bool drained = queue_.empty();
    if (drained) {
        init_time_ = 0;
        log_mask_ = 0;
        name_[0] = '\0';
        pass_count_ = 0;
        for (void* block = log_callbacks_; block != nullptr;) {
            const LogCallbackEntry entry = LoadEntry<LogCallbackEntry>(block);
            entry.heap->Free(block);
            block = entry.next;
        }
        log_callbacks_ = nullptr;
        queue_ = TaskList();
    }
    shutting_down_ = true;
    return drained;
}

// Only the entries present when the walk begins are stepped: a task that a
// finished callback adds goes to the tail and starts on the next pass, so the
// walk ends with the entry that was the tail when it began. The successor is
// read again after the callbacks, which may have appended.
bool TaskManager::ProcessTaskList(TaskManager* manager, TaskList* list) {
    if (manager != nullptr && manager->shutting_down_) {
        CancelTasks(*list);
    }

    const bool was_empty = list->empty();
    void* const last = list->tail;
    void* previous = nullptr;
    void* block = list->head;
    while (block != nullptr) {
        const ListEntry entry = LoadEntry<ListEntry>(block);
        // Compared before the step: the block may be given back below.
        const bool at_last = block == last;
        Task* task = entry.task;
        if (!StepTask(manager, task)) {
            if (at_last) {
                break;
            }
            previous = block;
            block = LoadEntry<ListEntry>(block).next;
            continue;
        }
        if (task->manager() != nullptr) {
            task->manager()->Log(TASK_LOG_INFO, "Removing task '%s' (0x%p)", task->name(),
                                 static_cast<void*>(task));
        }
        Unlink(list, previous, block);
        task->RunFinishedCallbacks();  // the task may be gone from here on
        entry.heap->Free(block);
        if (at_last) {
            break;
        }
        block = previous == nullptr ? list->head : LoadEntry<ListEntry>(previous).next;
    }
    return was_empty;
}

void TaskManager::Log(uint32_t level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogV(level, format, args);
    va_end(args);
}

bool TaskManager::WouldLog(uint32_t level) const {
    if ((log_mask_ & level) == 0) {
        return false;
    }
    for (void* block = log_callbacks_; block != nullptr;) {
        const LogCallbackEntry entry = LoadEntry<LogCallbackEntry>(block);
        if (entry.function != nullptr &&
            (entry.wants == nullptr || entry.wants(level, entry.user_data))) {
            return true;
        }
        block = entry.next;
    }
    return false;
}

void TaskManager::LogV(uint32_t level, const char* format, va_list args) {
    if (!WouldLog(level)) {
        return;
    }
    char message[kLogBufferSize];
    std::vsnprintf(message, sizeof(message), format, args);
    char line[kLogBufferSize];
    const int written = std::snprintf(line, sizeof(line), "[%s] %s", LevelTag(level), message);
    if (written < 0) {
        return;
    }
    for (void* block = log_callbacks_; block != nullptr;) {
        const LogCallbackEntry entry = LoadEntry<LogCallbackEntry>(block);
        if (entry.function != nullptr) {
            entry.function(this, level, line, entry.user_data);
        }
        block = entry.next;
    }
}

}  // namespace KRTaskSystem
