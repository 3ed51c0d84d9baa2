#include <memory>
#include <string>
#include <vector>

#include "TaskTestSupport.h"

namespace tasksystem_test {
namespace {

using TaskManagerTest = TaskSystemTest;

TEST_F(TaskManagerTest, ProcessReportsWhetherTheQueueWasEmptyAndCountsPasses) {
    EXPECT_TRUE(manager_->Process());
    EXPECT_TRUE(lines_.empty());
    EXPECT_EQ(manager_->pass_count(), 1);

    ScriptedTask task(heap(), "One", 2);
    ASSERT_TRUE(manager_->AddTask(&task));
    EXPECT_FALSE(manager_->Process());  // started
    EXPECT_FALSE(manager_->Process());  // first update
    EXPECT_FALSE(manager_->Process());  // second update finishes: removed in this pass
    EXPECT_TRUE(manager_->queue_empty());
    EXPECT_TRUE(manager_->Process());
    EXPECT_EQ(manager_->pass_count(), 5);
}

TEST_F(TaskManagerTest, ATaskIsStartedInOnePassAndUpdatedFromTheNext) {
    ScriptedTask task(heap(), "Steps", kNever);
    ASSERT_TRUE(manager_->AddTask(&task));
    EXPECT_EQ(task.manager(), nullptr);

    manager_->Process();
    EXPECT_EQ(task.starts, 1);
    EXPECT_EQ(task.updates, 0);
    EXPECT_EQ(task.manager(), manager_.get());

    manager_->Process();
    EXPECT_EQ(task.starts, 1);
    EXPECT_EQ(task.updates, 1);
    EXPECT_EQ(task.state(), RUNNING);
}

TEST_F(TaskManagerTest, TaskFinishingOnItsFirstUpdateLogsTransitionFinishAndRemoval) {
    std::vector<FinishedCall> calls;
    FinishedProbe probe{&calls, "owner"};
    ScriptedTask task(heap(), "Quick", 1);
    task.script_code = 200;
    task.script_message = "fine";
    task.AddFinishedCallback(&RecordFinished, &probe);

    ASSERT_TRUE(manager_->AddTask(&task));
    EXPECT_EQ(lines_.back().text, "[NFO] Adding task 'Quick' " + Address(&task));
    manager_->Process();
    EXPECT_GE(IndexOf("'INITIAL' -> 'RUNNING'"), 0);
    EXPECT_TRUE(calls.empty());

    lines_.clear();
    TestClock::Advance(300);
    manager_->Process();
    ASSERT_EQ(lines_.size(), 3u);
    EXPECT_EQ(lines_[0].text, "[DBG] s[0.0s]a[0.3s][Quick] 'RUNNING' -> 'DONE'");
    EXPECT_EQ(lines_[1].text, "[NFO] s[0.0s]a[0.3s][Quick] Finished in 0.30s");
    EXPECT_EQ(lines_[2].text, "[NFO] Removing task 'Quick' " + Address(&task));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].success);
    EXPECT_EQ(calls[0].code, 200);
    EXPECT_EQ(calls[0].message, "fine");
    EXPECT_EQ(task.state(), DONE);
    EXPECT_TRUE(manager_->queue_empty());
}

TEST_F(TaskManagerTest, MaskFiltersLevelsAndUnknownLevelsGetTheirOwnTag) {
    std::unique_ptr<TaskManager> quiet = MakeManager(13);
    lines_.clear();
    ScriptedTask task(quiet->heap(), "Masked", 1);
    quiet->AddTask(&task);
    quiet->Process();
    quiet->Process();
    EXPECT_EQ(Count("[DBG]"), 0u);
    EXPECT_EQ(Count("->"), 0u);
    EXPECT_EQ(Count("[NFO] Adding task 'Masked'"), 1u);
    EXPECT_EQ(Count("Starting..."), 1u);
    EXPECT_EQ(Count("Finished in"), 1u);
    EXPECT_EQ(Count("[NFO] Removing task 'Masked'"), 1u);

    lines_.clear();
    quiet->Log(KRTaskSystem::TASK_LOG_WARNING, "warn %d", 1);
    quiet->Log(KRTaskSystem::TASK_LOG_ERROR, "err %s", "two");
    quiet->Log(16, "not in mask");
    ASSERT_EQ(lines_.size(), 2u);
    EXPECT_EQ(lines_[0].text, "[WRN] warn 1");
    EXPECT_EQ(lines_[1].text, "[ERR] err two");

    std::unique_ptr<TaskManager> odd = MakeManager(16 | 1);
    lines_.clear();
    odd->Log(16, "odd level");
    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_EQ(lines_[0].text, "[UKN] odd level");
    EXPECT_EQ(lines_[0].level, 16u);
}

TEST_F(TaskManagerTest, LogCallbacksRunNewestFirst) {
    std::vector<std::string> order;
    struct Probe {
        std::vector<std::string>* order;
        const char* label;
    };
    Probe first{&order, "first"};
    Probe second{&order, "second"};
    auto record = [](TaskManager*, uint32_t, const char* line, void* user_data) {
        Probe* probe = static_cast<Probe*>(user_data);
        probe->order->push_back(std::string(probe->label) + ":" + line);
    };
    TaskManager manager("order", kAllLevels);
    manager.AddLogCallback(record, &first);
    manager.AddLogCallback(record, &second);
    manager.Log(KRTaskSystem::TASK_LOG_INFO, "hello");
    EXPECT_EQ(order, (std::vector<std::string>{"second:[NFO] hello", "first:[NFO] hello"}));
}

TEST_F(TaskManagerTest, CallbacksMayDeleteTheirTaskAndQueueNewOnes) {
    struct Owner {
        TaskManager* manager;
        KRTaskSystem::TaskHeap* heap;
        ScriptedTask* follow_up = nullptr;
        int deleted = 0;
    };
    Owner owner{manager_.get(), heap()};
    auto finished = [](Task* task, bool, int32_t, const char*, void* user_data) {
        Owner* self = static_cast<Owner*>(user_data);
        delete task;
        ++self->deleted;
        if (self->follow_up == nullptr) {
            self->follow_up = new ScriptedTask(self->heap, "FollowUp", 1);
            self->follow_up->AddFinishedCallback(
                +[](Task* t, bool, int32_t, const char*, void* u) {
                    delete t;
                    ++static_cast<Owner*>(u)->deleted;
                },
                self);
            self->manager->AddTask(self->follow_up);
        }
    };
    ScriptedTask* first = new ScriptedTask(heap(), "First", 1);
    first->AddFinishedCallback(finished, &owner);
    ScriptedTask* waiting = new ScriptedTask(heap(), "Waiting", 1);
    waiting->AddFinishedCallback(finished, &owner);
    manager_->AddTask(first);
    manager_->AddTask(waiting);

    manager_->Process();
    manager_->Process();  // both finish; the first's callback queues the follow-up
    EXPECT_EQ(owner.deleted, 2);
    ASSERT_NE(owner.follow_up, nullptr);
    // Added during the pass: waits for the next one to start.
    EXPECT_EQ(owner.follow_up->starts, 0);
    EXPECT_FALSE(manager_->queue_empty());

    manager_->Process();
    EXPECT_EQ(owner.follow_up->starts, 1);
    manager_->Process();
    EXPECT_EQ(owner.deleted, 3);
    EXPECT_TRUE(manager_->queue_empty());
    EXPECT_TRUE(manager_->Process());
}

TEST_F(TaskManagerTest, RemovalKeepsQueueOrderAndTail) {
    std::vector<FinishedCall> calls;
    FinishedProbe probe{&calls, "p"};
    ScriptedTask a(heap(), "A", kNever);
    ScriptedTask b(heap(), "B", 1);
    ScriptedTask c(heap(), "C", 1);
    for (ScriptedTask* task : {&a, &b, &c}) {
        task->AddFinishedCallback(&RecordFinished, &probe);
        manager_->AddTask(task);
    }
    manager_->Process();
    manager_->Process();  // B from the middle and C from the tail go
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].task, "B");
    EXPECT_EQ(calls[1].task, "C");

    // A task appended after the old tail left is still reached.
    ScriptedTask d(heap(), "D", 1);
    d.AddFinishedCallback(&RecordFinished, &probe);
    manager_->AddTask(&d);
    manager_->Process();
    manager_->Process();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[2].task, "D");

    a.FinishOnUpdate(1);
    manager_->Process();
    EXPECT_TRUE(manager_->queue_empty());
    EXPECT_EQ(calls.back().task, "A");
}

TEST_F(TaskManagerTest, CancelBeforeStartUpdatesWithoutStartingAndLogsNoRemoval) {
    std::vector<FinishedCall> calls;
    FinishedProbe probe{&calls, "p"};
    ScriptedTask task(heap(), "Early", kNever);
    task.AddFinishedCallback(&RecordFinished, &probe);
    task.Cancel();
    EXPECT_EQ(task.state(), CANCELLING);
    manager_->AddTask(&task);
    lines_.clear();

    manager_->Process();
    EXPECT_EQ(task.starts, 0);
    EXPECT_EQ(task.updates, 1);
    EXPECT_TRUE(task.finished_cancelled);
    EXPECT_EQ(task.state(), CANCELLED);
    EXPECT_EQ(task.manager(), nullptr);
    EXPECT_TRUE(lines_.empty());
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(manager_->queue_empty());
}

TEST_F(TaskManagerTest, CancelAllMarksEveryQueuedTaskInOrder) {
    ScriptedTask started(heap(), "Started", kNever);
    manager_->AddTask(&started);
    manager_->Process();
    ScriptedTask queued(heap(), "Queued", kNever);
    manager_->AddTask(&queued);
    lines_.clear();

    manager_->CancelAll();
    EXPECT_EQ(started.state(), CANCELLING);
    EXPECT_EQ(queued.state(), CANCELLING);
    // Only the started task has a manager to log through.
    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_NE(lines_[0].text.find("[Started] Cancelling..."), std::string::npos);

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
    lines_.clear();

    EXPECT_FALSE(manager_->Shutdown());
    EXPECT_EQ(manager_->run_state(), 2u);
    EXPECT_TRUE(lines_.empty());

    ScriptedTask late(heap(), "Late", 1);
    EXPECT_FALSE(manager_->AddTask(&late));
    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_EQ(lines_[0].text,
              "[WRN] Failed adding task 'Late' to the task queue because task system isn't "
              "running");
    EXPECT_EQ(late.state(), INITIAL);

    lines_.clear();
    EXPECT_FALSE(manager_->Process());
    EXPECT_EQ(Count("[PendingA] Cancelling..."), 1u);
    EXPECT_EQ(Count("[PendingB] Cancelling..."), 1u);
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
    EXPECT_EQ(manager_->log_mask(), 0u);
    EXPECT_EQ(manager_->pass_count(), 0);
    EXPECT_STREQ(manager_->name(), "");
    EXPECT_FALSE(manager_->AddTask(&late));
    manager_->Log(KRTaskSystem::TASK_LOG_ERROR, "after reset");
    EXPECT_TRUE(lines_.empty());
    EXPECT_TRUE(manager_->Shutdown());
}

TEST_F(TaskManagerTest, ShutdownOfAnEmptyManagerResetsAtOnce) {
    ScriptedTask task(heap(), "Refused", 1);
    EXPECT_TRUE(manager_->Shutdown());
    EXPECT_EQ(manager_->run_state(), 2u);
    EXPECT_FALSE(manager_->AddTask(&task));
    EXPECT_TRUE(lines_.empty());
    EXPECT_TRUE(manager_->Process());
    EXPECT_EQ(task.starts, 0);
}

TEST_F(TaskManagerTest, HeapUsageGrowsWithBookkeepingAndAFullHeapRefusesTasks) {
    const float base = manager_->peak_usage();
    EXPECT_GT(base, 0.0f);  // the log callback entry
    ScriptedTask task(heap(), "Queued", kNever);
    manager_->AddTask(&task);
    EXPECT_GT(manager_->peak_usage(), base);

    KRTaskSystem::TaskHeap* h = heap();
    void* filler = h->Alloc(h->capacity() - h->used());
    ASSERT_NE(filler, nullptr);
    EXPECT_FLOAT_EQ(manager_->peak_usage(), 1.0f);

    ScriptedTask refused(heap(), "Refused", 1);
    lines_.clear();
    EXPECT_FALSE(manager_->AddTask(&refused));
    EXPECT_EQ(Count("[ERR] Failed adding task 'Refused'"), 1u);
    EXPECT_FALSE(manager_->AddLogCallback(
        [](TaskManager*, uint32_t, const char*, void*) { FAIL() << "never registered"; }, nullptr));
    h->Free(filler);

    // The refused task never runs; the queued one is unaffected.
    task.FinishOnUpdate(1);
    manager_->Process();
    manager_->Process();
    EXPECT_EQ(refused.starts, 0);
    EXPECT_EQ(task.state(), DONE);
    EXPECT_TRUE(manager_->queue_empty());
}

}  // namespace
}  // namespace tasksystem_test
