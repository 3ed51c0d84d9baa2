#include <string>
#include <vector>

#include "TaskTestSupport.h"

namespace tasksystem_test {
namespace {

class TaskTest : public TaskSystemTest {
protected:
    // Queues task and runs the pass that starts it.
    void StartTask(ScriptedTask* task) {
        ASSERT_TRUE(manager_->AddTask(task));
        manager_->Process();
        ASSERT_EQ(task->state(), RUNNING);
        lines_.clear();
    }
};

TEST_F(TaskTest, NamesKeepAtMost49Characters) {
    const std::string sixty(60, 'n');
    ScriptedTask long_name(heap(), sixty.c_str());
    ScriptedTask no_name(heap(), nullptr);
    ScriptedTask exact(heap(), std::string(49, 'e').c_str());

    EXPECT_EQ(std::string(long_name.name()), sixty.substr(0, 49));
    EXPECT_STREQ(no_name.name(), "");
    EXPECT_EQ(std::string(exact.name()), std::string(49, 'e'));

    TaskManager long_manager(sixty.c_str(), 0);
    EXPECT_EQ(std::string(long_manager.name()), sixty.substr(0, 49));
    TaskManager unnamed(nullptr, 0);
    EXPECT_STREQ(unnamed.name(), "");
}

TEST_F(TaskTest, TaskLinesCarryStartOffsetAgeAndName) {
    ScriptedTask task(heap(), "TaskMatchmakingTicket", kNever);
    TestClock::Advance(3200);
    ASSERT_TRUE(manager_->AddTask(&task));
    manager_->Process();
    ASSERT_GE(lines_.size(), 1u);
    const int start = IndexOf("Starting...");
    ASSERT_GE(start, 0);
    EXPECT_EQ(lines_[start].text, "[NFO] s[3.2s]a[0.0s][TaskMatchmakingTicket] Starting...");
    EXPECT_EQ(lines_[start].level, KRTaskSystem::TASK_LOG_INFO);

    lines_.clear();
    TestClock::Advance(1500);
    task.Log(KRTaskSystem::TASK_LOG_ERROR, "code %d", 503);
    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_EQ(lines_[0].text, "[ERR] s[3.2s]a[1.5s][TaskMatchmakingTicket] code 503");

    // Once finished, the age stays at the run time.
    task.SetFinishedInfo(true, 200, "ok");
    TestClock::Advance(60000);
    lines_.clear();
    task.Log(KRTaskSystem::TASK_LOG_INFO, "later");
    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_EQ(lines_[0].text, "[NFO] s[3.2s]a[1.5s][TaskMatchmakingTicket] later");
    EXPECT_EQ(task.GetElapsedMs(), 1500u);
}

TEST_F(TaskTest, LogBeforeStartIsDroppedAndLongLinesAreCut) {
    ScriptedTask task(heap(), "Long", kNever);
    task.Log(KRTaskSystem::TASK_LOG_ERROR, "before start");
    EXPECT_TRUE(lines_.empty());

    StartTask(&task);
    const std::string long_text(3000, 'x');
    task.Log(KRTaskSystem::TASK_LOG_INFO, "%s", long_text.c_str());
    manager_->Log(KRTaskSystem::TASK_LOG_WARNING, "%s", long_text.c_str());
    ASSERT_EQ(lines_.size(), 2u);
    EXPECT_EQ(lines_[0].text.size(), 1023u);
    EXPECT_EQ(lines_[0].text.rfind("[NFO] s[0.0s]a[0.0s][Long] xxx", 0), 0u);
    EXPECT_EQ(lines_[1].text.size(), 1023u);
    EXPECT_EQ(lines_[1].text, "[WRN] " + std::string(1017, 'x'));
}

TEST_F(TaskTest, SetFinishedInfoSettlesOnceAndNeverLeavesTheMessageNull) {
    ScriptedTask task(heap(), "Finish", kNever);
    EXPECT_EQ(task.result_message(), nullptr);
    StartTask(&task);
    TestClock::Advance(1234);

    task.SetFinishedInfo(false, -1, nullptr);
    EXPECT_EQ(task.state(), DONE);
    EXPECT_FALSE(task.success());
    EXPECT_EQ(task.result_code(), -1);
    ASSERT_NE(task.result_message(), nullptr);
    EXPECT_STREQ(task.result_message(), "");
    EXPECT_EQ(IndexOf("'RUNNING' -> 'DONE'"), 0);
    EXPECT_EQ(IndexOf("Finished in 1.23s"), 1);

    lines_.clear();
    TestClock::Advance(500);
    task.SetFinishedInfo(true, 200, "second");
    EXPECT_FALSE(task.success());
    EXPECT_EQ(task.result_code(), -1);
    EXPECT_STREQ(task.result_message(), "");
    EXPECT_EQ(task.GetElapsedMs(), 1234u);
    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_EQ(lines_[0].level, KRTaskSystem::TASK_LOG_WARNING);
    EXPECT_NE(lines_[0].text.find("SetFinishedInfo: Already called, ignoring second call..."),
              std::string::npos);
}

TEST_F(TaskTest, FinishingAtClockZeroStillCountsAsFinished) {
    TestClock::Set(0);
    ScriptedTask task(heap(), "Zero", kNever);
    task.SetFinishedInfo(true, 7, "first");
    task.SetFinishedInfo(false, 9, "second");
    EXPECT_EQ(task.result_code(), 7);
    EXPECT_STREQ(task.result_message(), "first");
}

TEST_F(TaskTest, CancelMarksOnceAndFinishesCancelled) {
    ScriptedTask task(heap(), "Cancel", kNever);
    StartTask(&task);
    task.Cancel();
    task.Cancel();
    EXPECT_EQ(task.state(), CANCELLING);
    EXPECT_EQ(Count("Cancelling..."), 1u);
    // Cancel sets the state directly, without a transition line.
    EXPECT_EQ(Count("->"), 0u);

    task.SetFinishedInfo(true, 0, nullptr);
    EXPECT_EQ(task.state(), CANCELLED);
    EXPECT_GE(IndexOf("'CANCELLING' -> 'CANCELLED'"), 0);
    task.Cancel();
    EXPECT_EQ(task.state(), CANCELLED);
    EXPECT_EQ(Count("Cancelling..."), 1u);
}

TEST_F(TaskTest, SetStateToTheSameStateIsIgnoredWithAWarning) {
    ScriptedTask task(heap(), "Same", kNever);
    StartTask(&task);
    task.SetState(RUNNING);
    EXPECT_EQ(task.state(), RUNNING);
    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_EQ(lines_[0].text,
              "[WRN] s[0.0s]a[0.0s][Same] SetState: Already in state 'RUNNING', call ignored...");

    lines_.clear();
    task.SetState(static_cast<KRTaskSystem::TaskState>(9));
    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_EQ(lines_[0].text, "[DBG] s[0.0s]a[0.0s][Same] 'RUNNING' -> 'UNKNOWN'");
    EXPECT_EQ(lines_[0].level, KRTaskSystem::TASK_LOG_DEBUG);
}

TEST_F(TaskTest, FinishedCallbacksRunNewestFirstWithTheResult) {
    std::vector<FinishedCall> calls;
    FinishedProbe a{&calls, "A"};
    FinishedProbe b{&calls, "B"};
    ScriptedTask task(heap(), "Callbacks", kNever);
    ASSERT_TRUE(task.AddFinishedCallback(&RecordFinished, &a));
    ASSERT_TRUE(task.AddFinishedCallback(&RecordFinished, &b));
    task.SetFinishedInfo(false, 404, "missing");

    task.RunFinishedCallbacks();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].label, "B");
    EXPECT_EQ(calls[1].label, "A");
    for (const FinishedCall& call : calls) {
        EXPECT_EQ(call.task, "Callbacks");
        EXPECT_FALSE(call.success);
        EXPECT_EQ(call.code, 404);
        EXPECT_EQ(call.message, "missing");
    }
}

TEST_F(TaskTest, DestroyedTasksGiveEverythingBackToTheHeap) {
    TaskManager quiet(nullptr, 0);
    KRTaskSystem::TaskHeap* heap = quiet.heap();
    std::vector<FinishedCall> calls;
    FinishedProbe probe{&calls, "P"};
    {
        ScriptedTask task(heap, "Owner", kNever);
        task.AddFinishedCallback(&RecordFinished, &probe);
        task.AddFinishedCallback(&RecordFinished, &probe);
        task.SetFinishedInfo(true, 0, "first");
        EXPECT_EQ(heap->live_count(), 3u);
    }
    EXPECT_TRUE(heap->IsAtStart());

    ScriptedTask cleared(heap, "Cleared", kNever);
    cleared.AddFinishedCallback(&RecordFinished, &probe);
    cleared.ClearFinishedCallbacks();
    EXPECT_TRUE(heap->IsAtStart());
    cleared.RunFinishedCallbacks();
    EXPECT_TRUE(calls.empty());
}

TEST_F(TaskTest, FullHeapRefusesCallbacksButKeepsAMessage) {
    KRTaskSystem::TaskHeap* h = heap();
    ScriptedTask task(h, "Full", kNever);
    StartTask(&task);
    void* filler = h->Alloc(h->capacity() - h->used());
    ASSERT_NE(filler, nullptr);

    std::vector<FinishedCall> calls;
    FinishedProbe probe{&calls, "P"};
    EXPECT_FALSE(task.AddFinishedCallback(&RecordFinished, &probe));
    task.SetFinishedInfo(true, 200, "does not fit");
    ASSERT_NE(task.result_message(), nullptr);
    EXPECT_STREQ(task.result_message(), "");
    EXPECT_EQ(task.result_code(), 200);
    EXPECT_GE(Count("[ERR]"), 2u);

    task.RunFinishedCallbacks();
    EXPECT_TRUE(calls.empty());
    h->Free(filler);
}

}  // namespace
}  // namespace tasksystem_test
