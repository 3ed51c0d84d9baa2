#include <string>
#include <vector>

#include "TaskTestSupport.h"

namespace tasksystem_test {
namespace {

using TaskManagerTest = TaskSystemTest;

// A task is started in one pass, updated from the next, and removed in the
// pass that finishes it; Process tells whether the queue was empty.
TEST_F(TaskManagerTest, TaskRunsStartUpdateFinishWithItsLinesAndCallbacks) {
    std::vector<std::string> calls;
    ScriptedTask task(heap(), "Quick", 2);
    task.script_code = 200;
    task.script_message = "fine";
    task.AddFinishedCallback(&RecordFinished, &calls);
    EXPECT_TRUE(manager_->Process());
    ASSERT_TRUE(manager_->AddTask(&task));
    EXPECT_EQ(log_.lines.back(), "[NFO] Adding task 'Quick' " + Address(&task));

    EXPECT_FALSE(manager_->Process());
    EXPECT_EQ(task.manager(), manager_.get());
    EXPECT_EQ(task.updates, 0);
    EXPECT_GE(IndexOf("'INITIAL' -> 'RUNNING'"), 0);
    EXPECT_FALSE(manager_->Process());
    EXPECT_EQ(task.updates, 1);

    log_.Clear();
    TestClock::Advance(300);
    EXPECT_FALSE(manager_->Process());
    const int finished = IndexOf("Finished in 0.30s");
    EXPECT_TRUE(finished >= 0 && finished < IndexOf("Removing task 'Quick' " + Address(&task)));
    EXPECT_EQ(calls, std::vector<std::string>{"Quick ok 200 fine"});
    EXPECT_EQ(task.starts, 1);
    EXPECT_TRUE(manager_->Process());
    EXPECT_EQ(manager_->pass_count(), 5);
}

// The manager asks before formatting: a line passes only when the mask lets
// it through and some callback's filter keeps it; a kept line reaches every
// callback, the newest first, whatever its level.
TEST_F(TaskManagerTest, LinesPassMaskAndFilterThenReachEveryCallbackNewestFirst) {
    TaskManager bare("bare", 0xF);
    EXPECT_FALSE(bare.WouldLog(KRTaskSystem::TASK_LOG_ERROR));  // no callback at all

    TaskManager filtered("filtered", 0xB);  // warnings masked off
    filtered.AddLogCallback(
        &Record, &log_, [](uint32_t level, void*) { return level != KRTaskSystem::TASK_LOG_INFO; });
    EXPECT_FALSE(filtered.WouldLog(KRTaskSystem::TASK_LOG_INFO));
    EXPECT_FALSE(filtered.WouldLog(KRTaskSystem::TASK_LOG_WARNING));
    EXPECT_TRUE(filtered.WouldLog(KRTaskSystem::TASK_LOG_ERROR));
    EXPECT_TRUE(filtered.WouldLog(KRTaskSystem::TASK_LOG_DEBUG));
    log_.Clear();
    ScriptedTask task(filtered.heap(), "Quiet", 1);
    filtered.AddTask(&task);
    filtered.Process();
    filtered.Process();
    // A newer callback keeps everything and records every line at level 0.
    filtered.AddLogCallback([](TaskManager* manager, uint32_t, const char* line,
                               void* log) { Record(manager, 0, line, log); },
                            &log_);
    EXPECT_TRUE(filtered.WouldLog(KRTaskSystem::TASK_LOG_INFO));
    filtered.Log(KRTaskSystem::TASK_LOG_WARNING, "masked");
    filtered.Log(KRTaskSystem::TASK_LOG_INFO, "info %d", 2);
    manager_->Log(KRTaskSystem::TASK_LOG_WARNING, "warn %d", 1);
    manager_->Log(16, "odd level");
    // The task's run left only its two transitions, at debug level.
    EXPECT_EQ(log_.lines, (std::vector<std::string>{
                              "[DBG] s[0.0s]a[0.0s][Quiet] 'INITIAL' -> 'RUNNING'",
                              "[DBG] s[0.0s]a[0.0s][Quiet] 'RUNNING' -> 'DONE'", "[NFO] info 2",
                              "[NFO] info 2", "[WRN] warn 1", "[UKN] odd level"}));
    EXPECT_EQ(log_.line_types, (std::vector<int32_t>{2, 2, 0, 1, 4, 16}));
}

// Finished tasks leave from the middle and the tail of the queue, and their
// callbacks may delete them. A task queued by a callback after the tail left
// is still reached, from the next pass on.
TEST_F(TaskManagerTest, RemovalKeepsQueueOrderWhenCallbacksDeleteAndQueue) {
    struct Owner {
        TaskManager* manager;
        ScriptedTask* follow_up;
        std::string finished;
    };
    Owner owner{manager_.get(), new ScriptedTask(heap(), "D", 1), ""};
    auto finished = [](Task* task, bool, int32_t, const char*, void* user_data) {
        Owner* self = static_cast<Owner*>(user_data);
        self->finished += task->name();
        delete task;
        if (self->finished == "BC") {
            self->manager->AddTask(self->follow_up);
        }
    };
    ScriptedTask* tasks[] = {new ScriptedTask(heap(), "A", 4), new ScriptedTask(heap(), "B", 1),
                             new ScriptedTask(heap(), "C", 1), owner.follow_up};
    for (ScriptedTask* task : tasks) {
        task->AddFinishedCallback(finished, &owner);
        if (task != owner.follow_up) {
            manager_->AddTask(task);
        }
    }
    manager_->Process();
    manager_->Process();
    EXPECT_EQ(owner.finished, "BC");
    EXPECT_EQ(owner.follow_up->starts, 0);
    for (int pass = 0; pass < 3; ++pass) {
        manager_->Process();
    }
    EXPECT_EQ(owner.finished, "BCDA");
    EXPECT_TRUE(manager_->queue_empty());
}

// A task cancelled before it ever started is updated, never started, and
// finishes cancelled without a manager to log through.
TEST_F(TaskManagerTest, CancelBeforeStartAndCancelAll) {
    ScriptedTask early(heap(), "Early", kNever);
    early.Cancel();
    manager_->AddTask(&early);
    ScriptedTask started(heap(), "Started", kNever);
    manager_->AddTask(&started);
    log_.Clear();
    manager_->Process();
    EXPECT_EQ(early.starts, 0);
    EXPECT_EQ(early.updates, 1);
    EXPECT_TRUE(early.finished_cancelled);
    EXPECT_EQ(early.state(), CANCELLED);
    EXPECT_EQ(Count("Early"), 0u);

    ScriptedTask queued(heap(), "Queued", kNever);
    manager_->AddTask(&queued);
    manager_->CancelAll();
    EXPECT_EQ(started.state(), CANCELLING);
    EXPECT_EQ(queued.state(), CANCELLING);
    manager_->Process();
    EXPECT_EQ(started.state(), CANCELLED);
    EXPECT_EQ(queued.state(), CANCELLED);
    EXPECT_EQ(queued.starts, 0);
    EXPECT_TRUE(manager_->queue_empty());
}

TEST_F(TaskManagerTest, ShutdownWithPendingTasksCancelsThemOnTheNextPasses) {
    ScriptedTask a(heap(), "PendingA", kNever);
    ScriptedTask b(heap(), "PendingB", kNever);
    b.finish_when_cancelled = false;
    manager_->AddTask(&a);
    manager_->AddTask(&b);
    manager_->Process();

    EXPECT_FALSE(manager_->Shutdown());
    ScriptedTask late(heap(), "Late", 1);
    log_.Clear();
    EXPECT_FALSE(manager_->AddTask(&late));
    EXPECT_EQ(Count("Failed adding task 'Late' to the task queue because task system isn't "
                    "running"),
              1u);

    EXPECT_FALSE(manager_->Process());
    EXPECT_EQ(a.state(), CANCELLED);
    EXPECT_EQ(b.state(), CANCELLING);  // still busy: stays queued
    EXPECT_FALSE(manager_->Shutdown());
    b.finish_when_cancelled = true;
    manager_->Process();
    EXPECT_EQ(b.state(), CANCELLED);
    EXPECT_EQ(Count("Cancelling..."), 2u);

    // The drained manager resets: its log is silent, and of its heap only the
    // two result messages, owned by the tasks, remain.
    log_.Clear();
    EXPECT_TRUE(manager_->Shutdown());
    EXPECT_EQ(heap()->live_count(), 2u);
    EXPECT_EQ(manager_->pass_count(), 0);
    EXPECT_FALSE(manager_->AddTask(&late));
    manager_->Log(KRTaskSystem::TASK_LOG_ERROR, "after reset");
    EXPECT_TRUE(log_.lines.empty());
    EXPECT_TRUE(manager_->Shutdown());
}

// A full heap refuses every new entry with an error line, a finished
// callback and a result message included, and queued tasks run on.
TEST_F(TaskManagerTest, AFullHeapRefusesBookkeepingAndQueuedTasksRunOn) {
    ScriptedTask task(heap(), "Queued", 1);
    task.script_code = 200;
    task.script_message = "does not fit";
    manager_->AddTask(&task);
    KRTaskSystem::TaskHeap* h = heap();
    void* filler = h->Alloc(h->capacity() - h->used());
    ASSERT_NE(filler, nullptr);

    ScriptedTask refused(heap(), "Refused", 1);
    log_.Clear();
    EXPECT_FALSE(manager_->AddTask(&refused));
    EXPECT_EQ(Count("[ERR] Failed adding task 'Refused'"), 1u);
    EXPECT_FALSE(manager_->AddLogCallback(nullptr, nullptr));
    EXPECT_FALSE(task.AddFinishedCallback(&RecordFinished, nullptr));
    manager_->Process();
    manager_->Process();
    EXPECT_EQ(task.state(), DONE);
    EXPECT_EQ(task.result_code(), 200);
    EXPECT_STREQ(task.result_message(), "");
    EXPECT_EQ(Count("[ERR]"), 3u);
    EXPECT_EQ(refused.starts, 0);
    h->Free(filler);
}

}  // namespace
}  // namespace tasksystem_test
