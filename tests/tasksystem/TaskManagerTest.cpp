#include <memory>
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
    EXPECT_EQ(lines_.back().text, "[NFO] Adding task 'Quick' " + Address(&task));

    EXPECT_FALSE(manager_->Process());
    EXPECT_EQ(task.manager(), manager_.get());
    EXPECT_EQ(task.updates, 0);
    EXPECT_GE(IndexOf("'INITIAL' -> 'RUNNING'"), 0);
    EXPECT_FALSE(manager_->Process());
    EXPECT_EQ(task.updates, 1);

    lines_.clear();
    TestClock::Advance(300);
    EXPECT_FALSE(manager_->Process());
    const int finished = IndexOf("Finished in 0.30s");
    EXPECT_TRUE(finished >= 0 && finished < IndexOf("Removing task 'Quick' " + Address(&task)));
    EXPECT_EQ(calls, std::vector<std::string>{"Quick ok 200 fine"});
    EXPECT_EQ(task.starts, 1);
    EXPECT_TRUE(manager_->Process());
    EXPECT_EQ(manager_->pass_count(), 5);
}

TEST_F(TaskManagerTest, MaskFiltersLevelsAndCallbacksRunNewestFirst) {
    std::unique_ptr<TaskManager> quiet = MakeManager(13);  // all but DBG
    lines_.clear();
    ScriptedTask task(quiet->heap(), "Masked", 1);
    quiet->AddTask(&task);
    quiet->Process();
    quiet->Process();
    quiet->Log(16, "not in mask");
    quiet->Log(KRTaskSystem::TASK_LOG_WARNING, "warn %d", 1);
    EXPECT_EQ(Count("->") + Count("not in mask"), 0u);
    EXPECT_EQ(Count("Finished in"), 1u);
    EXPECT_EQ(lines_.back().text, "[WRN] warn 1");

    std::unique_ptr<TaskManager> odd = MakeManager(16);
    odd->AddLogCallback([](TaskManager* manager, uint32_t, const char* line,
                           void* lines) { Record(manager, 0, line, lines); },
                        &lines_);
    lines_.clear();
    odd->Log(16, "odd level");
    ASSERT_EQ(lines_.size(), 2u);
    EXPECT_EQ(lines_[0].level, 0u);  // the newer callback first
    EXPECT_EQ(lines_[1].text, "[UKN] odd level");
    EXPECT_EQ(lines_[1].level, 16u);
}

// The manager asks before formatting: a line passes only when the mask lets
// it through and some callback's filter keeps it; a kept line still reaches
// every callback, as before.
TEST_F(TaskManagerTest, LinesNoCallbackKeepsAreDroppedBeforeFormatting) {
    TaskManager bare("bare", 0xF);
    EXPECT_FALSE(bare.WouldLog(KRTaskSystem::TASK_LOG_ERROR));  // no callback at all

    TaskManager filtered("filtered", 0xB);  // warnings masked off
    filtered.AddLogCallback(&Record, &lines_, [](uint32_t level, void*) {
        return level != KRTaskSystem::TASK_LOG_INFO;
    });
    EXPECT_FALSE(filtered.WouldLog(KRTaskSystem::TASK_LOG_INFO));
    EXPECT_FALSE(filtered.WouldLog(KRTaskSystem::TASK_LOG_WARNING));
    EXPECT_TRUE(filtered.WouldLog(KRTaskSystem::TASK_LOG_ERROR));
    EXPECT_TRUE(filtered.WouldLog(KRTaskSystem::TASK_LOG_DEBUG));
    lines_.clear();
    ScriptedTask task(filtered.heap(), "Quiet", 1);
    filtered.AddTask(&task);
    filtered.Process();
    filtered.Process();
    // Only the two transitions, at debug level: no info line was kept.
    ASSERT_EQ(lines_.size(), 2u);
    EXPECT_EQ(lines_[0].text, "[DBG] s[0.0s]a[0.0s][Quiet] 'INITIAL' -> 'RUNNING'");
    EXPECT_EQ(lines_[1].text, "[DBG] s[0.0s]a[0.0s][Quiet] 'RUNNING' -> 'DONE'");

    filtered.AddLogCallback(&Record, &lines_);  // keeps everything
    EXPECT_TRUE(filtered.WouldLog(KRTaskSystem::TASK_LOG_INFO));
    filtered.Log(KRTaskSystem::TASK_LOG_INFO, "info %d", 2);
    ASSERT_EQ(lines_.size(), 4u);
    EXPECT_EQ(lines_[2].text, "[NFO] info 2");
    EXPECT_EQ(lines_[3].text, "[NFO] info 2");
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
    lines_.clear();
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
    lines_.clear();
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
    lines_.clear();
    EXPECT_TRUE(manager_->Shutdown());
    EXPECT_EQ(heap()->live_count(), 2u);
    EXPECT_EQ(manager_->pass_count(), 0);
    EXPECT_FALSE(manager_->AddTask(&late));
    manager_->Log(KRTaskSystem::TASK_LOG_ERROR, "after reset");
    EXPECT_TRUE(lines_.empty());
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
    lines_.clear();
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
