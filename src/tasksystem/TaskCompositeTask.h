#pragma once

#include <cstdint>

#include "tasksystem/Task.h"
#include "tasksystem/TaskManager.h"

namespace KRTaskSystem {

// A task that runs child tasks through the manager's list step and folds
// their results into its own. It does not own its children.
class TaskCompositeTask : public Task {
public:
    TaskCompositeTask(TaskHeap* heap, const char* name);
    ~TaskCompositeTask() override;

    // Finishes with the folded result, whether cancelled or not.
    void OnFinished(bool cancelled) override;

    // Appends child and folds its result when it is removed. False (with an
    // error line, child not added) only when the heap is full.
    bool AddChild(Task* child);

    int32_t last_code() const { return last_code_; }
    bool all_succeeded() const { return all_succeeded_; }
    const char* last_message() const { return last_message_; }
    bool has_children() const { return !children_.empty(); }

protected:
    // Before each new attempt.
    void ResetFold() {
        last_code_ = 0;
        all_succeeded_ = true;
    }
    TaskList children_;

private:
    static void FoldChildResult(Task* child, bool success, int32_t code, const char* message,
                                void* user_data);

    int32_t last_code_ = 0;
    bool all_succeeded_ = true;
    char* last_message_ = nullptr;
};

// Runs all children side by side; finished when none is left.
class TaskCompositeParallelTask : public TaskCompositeTask {
public:
    TaskCompositeParallelTask(TaskHeap* heap, const char* name);
    void Start(TaskManager* manager) override;
    bool Update() override;
};

}  // namespace KRTaskSystem
