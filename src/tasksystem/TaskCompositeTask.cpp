#include "tasksystem/TaskCompositeTask.h"

namespace KRTaskSystem {

TaskCompositeTask::TaskCompositeTask(TaskHeap* heap, const char* name) : Task(heap, name) {}

TaskCompositeTask::~TaskCompositeTask() {
    if (heap() != nullptr) {
        heap()->Free(last_message_);
    }
    last_message_ = nullptr;
}

void TaskCompositeTask::OnFinished(bool /*cancelled*/) {
    SetFinishedInfo(all_succeeded_, last_code_, last_message_);
}

// The fold callback is registered after any callback the subclass put on the
// child beforehand, so it runs first and the subclass sees the folded values.
bool TaskCompositeTask::AddChild(Task* child) {
    if (child == nullptr) {
        Log(TASK_LOG_ERROR, "Failed adding a null child task");
        return false;
    }
    bool added = children_.Append(heap(), child);
    if (added && !child->AddFinishedCallback(&TaskCompositeTask::FoldChildResult, this)) {
        children_.Remove(child);
        added = false;
    }
    if (!added) {
        Log(TASK_LOG_ERROR, "Failed adding child task '%s' because the task heap is full",
            child->name());
        return false;
    }
    Log(TASK_LOG_INFO, "Adding child task '%s'", child->name());
    return true;
}

void TaskCompositeTask::FoldChildResult(Task* /*child*/, bool success, int32_t code,
                                        const char* message, void* user_data) {
    TaskCompositeTask* self = static_cast<TaskCompositeTask*>(user_data);
    self->all_succeeded_ = self->all_succeeded_ && success;
    self->last_code_ = code;
    TaskHeap* heap = self->heap();
    if (heap == nullptr) {
        return;
    }
    heap->Free(self->last_message_);
    self->last_message_ = heap->StrDup(message);
    if (self->last_message_ == nullptr) {
        self->Log(TASK_LOG_ERROR, "Task heap full, child result message dropped");
    }
}

TaskCompositeParallelTask::TaskCompositeParallelTask(TaskHeap* heap, const char* name)
    : TaskCompositeTask(heap, name) {}

void TaskCompositeParallelTask::Start(TaskManager* manager) {
    Task::Start(manager);
}

// Children advance in the composite's own pass, one step each. Without a
// manager (cancelled before it ever started) the children are left alone.
bool TaskCompositeParallelTask::Update() {
    if (manager() != nullptr) {
        TaskManager::ProcessTaskList(manager(), &children_);
    }
    return children_.empty();
}

}  // namespace KRTaskSystem
