#include <string>
#include <vector>

#include "TaskTestSupport.h"

namespace tasksystem_test {
namespace {

using KRTaskSystem::TASK_LOG_ERROR;
using KRTaskSystem::TASK_LOG_INFO;
using TaskTest = TaskSystemTest;

// Lines read s[start offset]a[age][name]; before Start there is no manager to
// log through, and over-long text is cut to the buffer. Names keep at most 49
// characters.
TEST_F(TaskTest, TaskLinesCarryStartOffsetAgeAndName) {
    const std::string sixty(60, 'n');
    EXPECT_EQ(std::string(ScriptedTask(heap(), sixty.c_str()).name()), sixty.substr(0, 49));
    EXPECT_EQ(std::string(TaskManager(sixty.c_str(), 0).name()), sixty.substr(0, 49));
    EXPECT_STREQ(ScriptedTask(heap(), nullptr).name(), "");
    ScriptedTask task(heap(), "TaskMatchmakingTicket", kNever);
    task.Log(TASK_LOG_ERROR, "before start");
    EXPECT_TRUE(log_.lines.empty());

    TestClock::Advance(3200);
    ASSERT_TRUE(manager_->AddTask(&task));
    manager_->Process();
    EXPECT_EQ(Count("a[0.0s][TaskMatchmakingTicket] Starting..."), 1u);
    log_.Clear();
    TestClock::Advance(1500);
    task.Log(TASK_LOG_ERROR, "code %d", 503);
    task.Log(TASK_LOG_INFO, "%s", std::string(3000, 'x').c_str());
    ASSERT_EQ(log_.lines.size(), 2u);
    EXPECT_EQ(log_.lines[0], "[ERR] s[3.2s]a[1.5s][TaskMatchmakingTicket] code 503");
    EXPECT_EQ(log_.line_types[0], TASK_LOG_ERROR);
    EXPECT_EQ(log_.lines[1].size(), 1023u);
}

TEST_F(TaskTest, SetFinishedInfoSettlesOnceAndNeverLeavesTheMessageNull) {
    ScriptedTask task(heap(), "Finish", kNever);
    manager_->AddTask(&task);
    manager_->Process();  // started
    TestClock::Advance(1234);
    task.SetFinishedInfo(false, -1, nullptr);
    EXPECT_STREQ(task.result_message(), "");

    // A second call changes nothing, and the age stays at the run time.
    log_.Clear();
    TestClock::Advance(500);
    task.SetFinishedInfo(true, 200, "second");
    EXPECT_FALSE(task.success());
    EXPECT_EQ(task.result_code(), -1);
    EXPECT_EQ(task.GetElapsedMs(), 1234u);
    EXPECT_EQ(Count("SetFinishedInfo: Already called, ignoring second call..."), 1u);

    // A finish at clock reading 0 counts as a finish all the same.
    TestClock::Set(0);
    ScriptedTask zero(heap(), "Zero", kNever);
    zero.SetFinishedInfo(true, 7, "first");
    zero.SetFinishedInfo(false, 9, "second");
    EXPECT_EQ(zero.result_code(), 7);
    EXPECT_STREQ(zero.result_message(), "first");
}

// Cancel marks the task once, without a transition line; setting the state
// it already has is ignored with a warning.
TEST_F(TaskTest, CancelMarksOnceAndSetStateIgnoresTheSameState) {
    ScriptedTask task(heap(), "Same", kNever);
    manager_->AddTask(&task);
    manager_->Process();  // started
    task.SetState(RUNNING);
    task.SetState(static_cast<KRTaskSystem::TaskState>(9));
    EXPECT_EQ(Count("SetState: Already in state 'RUNNING', call ignored..."), 1u);
    EXPECT_EQ(Count("'RUNNING' -> 'UNKNOWN'"), 1u);

    task.SetState(RUNNING);
    log_.Clear();
    task.Cancel();
    task.Cancel();
    EXPECT_EQ(task.state(), CANCELLING);
    EXPECT_EQ(Count("->"), 0u);
    task.SetFinishedInfo(true, 0, nullptr);
    task.Cancel();
    EXPECT_EQ(task.state(), CANCELLED);
    EXPECT_GE(IndexOf("'CANCELLING' -> 'CANCELLED'"), 0);
    EXPECT_EQ(Count("Cancelling..."), 1u);
}

TEST_F(TaskTest, DestroyedTasksGiveEverythingBackToTheHeap) {
    TaskManager quiet(nullptr, 0);
    KRTaskSystem::TaskHeap* heap = quiet.heap();
    std::vector<std::string> calls;
    {
        ScriptedTask task(heap, "Owner", kNever);
        task.AddFinishedCallback(&RecordFinished, &calls);
        task.AddFinishedCallback(&RecordFinished, &calls);
        task.SetFinishedInfo(true, 0, "first");
        EXPECT_EQ(heap->live_count(), 3u);
    }
    EXPECT_TRUE(heap->IsAtStart());

    ScriptedTask cleared(heap, "Cleared", kNever);
    cleared.AddFinishedCallback(&RecordFinished, &calls);
    cleared.ClearFinishedCallbacks();
    EXPECT_TRUE(heap->IsAtStart());
    cleared.RunFinishedCallbacks();
    EXPECT_TRUE(calls.empty());
}

}  // namespace
}  // namespace tasksystem_test
