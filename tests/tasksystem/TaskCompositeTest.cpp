#include <string>
#include <vector>

#include "TaskTestSupport.h"

namespace tasksystem_test {
namespace {

using KRTaskSystem::TaskCompositeParallelTask;

class TaskCompositeTest : public TaskSystemTest {
protected:
    // Queues the composite and runs the pass that starts it.
    void StartComposite() {
        ASSERT_TRUE(manager_->AddTask(&composite_));
        manager_->Process();
        ASSERT_EQ(composite_.state(), RUNNING);
    }

    TaskCompositeParallelTask composite_{heap(), "Composite"};
};

TEST_F(TaskCompositeTest, FoldsTheLastChildsCodeAndMessageAndAllSuccessFlags) {
    StartComposite();
    ScriptedTask first(heap(), "First", 1);
    first.script_code = 200;
    first.script_message = "a";
    ScriptedTask second(heap(), "Second", 3);
    second.script_success = false;
    second.script_code = 503;
    second.script_message = "b";
    ASSERT_TRUE(composite_.AddChild(&first));
    ASSERT_TRUE(composite_.AddChild(&second));
    EXPECT_EQ(Count("[NFO] s[0.0s]a[0.0s][Composite] Adding child task 'First'"), 1u);

    manager_->Process();  // children start in the composite's pass
    EXPECT_EQ(first.starts, 1);
    EXPECT_EQ(second.starts, 1);
    manager_->Process();  // first finishes
    EXPECT_EQ(first.state(), DONE);
    EXPECT_TRUE(composite_.all_succeeded());
    EXPECT_EQ(composite_.last_code(), 200);
    EXPECT_STREQ(composite_.last_message(), "a");
    EXPECT_EQ(composite_.state(), RUNNING);

    manager_->Process();
    EXPECT_EQ(composite_.state(), RUNNING);
    manager_->Process();  // second finishes, the composite with it
    EXPECT_EQ(composite_.state(), DONE);
    EXPECT_FALSE(composite_.success());
    EXPECT_EQ(composite_.result_code(), 503);
    EXPECT_STREQ(composite_.result_message(), "b");
    EXPECT_TRUE(manager_->queue_empty());
}

TEST_F(TaskCompositeTest, ChildrenFinishingInOnePassFoldInListOrder) {
    StartComposite();
    ScriptedTask early(heap(), "Early", 1);
    early.script_success = false;
    early.script_code = 500;
    early.script_message = "first in list";
    ScriptedTask late(heap(), "Late", 1);
    late.script_code = 201;
    late.script_message = "second in list";
    composite_.AddChild(&early);
    composite_.AddChild(&late);

    manager_->Process();
    manager_->Process();
    EXPECT_EQ(composite_.state(), DONE);
    EXPECT_EQ(composite_.result_code(), 201);
    EXPECT_STREQ(composite_.result_message(), "second in list");
    EXPECT_FALSE(composite_.success());  // the early failure still counts
    EXPECT_LT(IndexOf("Removing task 'Early'"), IndexOf("Removing task 'Late'"));
    EXPECT_LT(IndexOf("Removing task 'Late'"), IndexOf("Removing task 'Composite'"));
}

TEST_F(TaskCompositeTest, EmptyCompositeFinishesAtItsFirstUpdateWithANeutralResult) {
    StartComposite();
    EXPECT_FALSE(manager_->Process());
    EXPECT_EQ(composite_.state(), DONE);
    EXPECT_TRUE(composite_.success());
    EXPECT_EQ(composite_.result_code(), 0);
    EXPECT_STREQ(composite_.result_message(), "");
}

TEST_F(TaskCompositeTest, CancelWaitsForTheRunningChild) {
    StartComposite();
    ScriptedTask child(heap(), "Child", kNever);
    child.finish_when_cancelled = false;
    child.script_code = 204;
    child.script_message = "child done";
    composite_.AddChild(&child);
    manager_->Process();

    composite_.Cancel();
    EXPECT_EQ(child.state(), RUNNING);  // not passed on
    for (int pass = 0; pass < 3; ++pass) {
        manager_->Process();
        EXPECT_EQ(composite_.state(), CANCELLING);
    }
    EXPECT_EQ(child.state(), RUNNING);

    child.FinishOnUpdate(1);
    manager_->Process();
    EXPECT_EQ(child.state(), DONE);
    EXPECT_EQ(composite_.state(), CANCELLED);
    EXPECT_TRUE(composite_.success());
    EXPECT_EQ(composite_.result_code(), 204);
    EXPECT_STREQ(composite_.result_message(), "child done");
}

TEST_F(TaskCompositeTest, CompositeCancelledBeforeStartLeavesItsChildrenAlone) {
    ScriptedTask child(heap(), "Child", 1);
    composite_.AddChild(&child);
    composite_.Cancel();
    manager_->AddTask(&composite_);
    manager_->Process();
    manager_->Process();
    EXPECT_EQ(child.starts, 0);
    EXPECT_EQ(child.updates, 0);
    EXPECT_EQ(composite_.state(), CANCELLING);

    TaskCompositeParallelTask empty(heap(), "Empty");
    empty.Cancel();
    manager_->AddTask(&empty);
    manager_->Process();
    EXPECT_EQ(empty.state(), CANCELLED);
}

TEST_F(TaskCompositeTest, ShutdownCancelsChildrenThroughTheListStep) {
    StartComposite();
    ScriptedTask child(heap(), "Child", kNever);
    composite_.AddChild(&child);
    manager_->Process();
    manager_->CancelAll();
    EXPECT_EQ(child.state(), RUNNING);  // CancelAll stops at the top level

    EXPECT_FALSE(manager_->Shutdown());
    manager_->Process();
    EXPECT_TRUE(child.finished_cancelled);
    EXPECT_EQ(child.state(), CANCELLED);
    EXPECT_EQ(composite_.state(), CANCELLED);
    EXPECT_TRUE(manager_->Shutdown());
}

// A subclass that watches its child the way retrying requests do: its own
// callback goes on before AddChild, so it runs after the fold.
class WatchingComposite : public TaskCompositeParallelTask {
public:
    using TaskCompositeParallelTask::TaskCompositeParallelTask;

    void Watch(Task* child) {
        child->AddFinishedCallback(&WatchingComposite::Seen, this);
        AddChild(child);
    }
    void Reset() { ResetFold(); }
    // Stays open between attempts, as a retrying request waits for its delay.
    bool Update() override {
        const bool empty = TaskCompositeParallelTask::Update();
        return empty && !more_attempts;
    }

    bool more_attempts = true;
    std::vector<int32_t> seen_codes;
    std::vector<bool> seen_all_succeeded;

private:
    static void Seen(Task*, bool, int32_t, const char*, void* user_data) {
        WatchingComposite* self = static_cast<WatchingComposite*>(user_data);
        self->seen_codes.push_back(self->last_code());
        self->seen_all_succeeded.push_back(self->all_succeeded());
    }
};

TEST_F(TaskSystemTest, OwnCallbackRegisteredBeforeAddChildSeesTheFoldedResult) {
    WatchingComposite composite(heap(), "Watching");
    manager_->AddTask(&composite);
    manager_->Process();

    ScriptedTask attempt(heap(), "TaskMatchmakingKeepAlive", 1);
    attempt.script_success = false;
    attempt.script_code = 502;
    composite.Watch(&attempt);
    EXPECT_EQ(Count("Adding child task 'TaskMatchmakingKeepAlive'"), 1u);
    manager_->Process();
    manager_->Process();
    EXPECT_EQ(composite.seen_codes, std::vector<int32_t>{502});
    EXPECT_EQ(composite.seen_all_succeeded, std::vector<bool>{false});
    EXPECT_EQ(composite.state(), RUNNING);

    // After a reset a new attempt starts from a clean fold.
    composite.Reset();
    composite.more_attempts = false;
    ScriptedTask retry(heap(), "TaskMatchmakingKeepAlive", 2);
    retry.script_code = 200;
    composite.Watch(&retry);
    manager_->Process();  // start
    manager_->Process();  // update 1
    manager_->Process();  // update 2: child and composite finish
    EXPECT_EQ(composite.seen_codes, (std::vector<int32_t>{502, 200}));
    EXPECT_EQ(composite.seen_all_succeeded, (std::vector<bool>{false, true}));
    EXPECT_EQ(composite.state(), DONE);
    EXPECT_TRUE(composite.success());
    EXPECT_EQ(composite.result_code(), 200);
}

TEST_F(TaskCompositeTest, AddChildOnAFullHeapLeavesNoHalfAddedChild) {
    KRTaskSystem::TaskHeap* h = heap();
    StartComposite();
    ScriptedTask child(h, "Child", 1);
    // Room for the list entry (three pointers) but not the callback entry.
    void* filler = h->Alloc(h->capacity() - h->used() - 3 * sizeof(void*));
    ASSERT_NE(filler, nullptr);
    lines_.clear();
    EXPECT_FALSE(composite_.AddChild(&child));
    EXPECT_FALSE(composite_.has_children());
    EXPECT_EQ(Count("[ERR]"), 1u);
    EXPECT_EQ(Count("Adding child task"), 0u);

    ScriptedTask none(h, "None", 1);
    EXPECT_FALSE(composite_.AddChild(&none));
    EXPECT_FALSE(composite_.AddChild(nullptr));
    h->Free(filler);

    manager_->Process();
    EXPECT_EQ(child.starts, 0);
    EXPECT_EQ(composite_.state(), DONE);
}

}  // namespace
}  // namespace tasksystem_test
