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

// The composite keeps the code and message of the child that finished last
// (list order within one pass) and succeeds only if every child did.
TEST_F(TaskCompositeTest, FoldsTheLastChildsResultAndEverySuccessFlag) {
    StartComposite();
    ScriptedTask early(heap(), "Early", 1);
    early.script_success = false;
    early.script_code = 500;
    ScriptedTask late(heap(), "Late", 1);
    late.script_code = 201;
    late.script_message = "late";
    ScriptedTask last(heap(), "Last", 3);
    last.script_code = 204;
    last.script_message = "last";
    for (ScriptedTask* child : {&early, &late, &last}) {
        ASSERT_TRUE(composite_.AddChild(child));
    }
    EXPECT_EQ(Count("[Composite] Adding child task 'Early'"), 1u);

    manager_->Process();  // children start in the composite's pass
    EXPECT_EQ(last.starts, 1);
    manager_->Process();  // early and late finish
    EXPECT_EQ(composite_.last_code(), 201);
    EXPECT_STREQ(composite_.last_message(), "late");
    EXPECT_FALSE(composite_.all_succeeded());
    EXPECT_LT(IndexOf("Removing task 'Early'"), IndexOf("Removing task 'Late'"));
    manager_->Process();
    EXPECT_EQ(composite_.state(), RUNNING);
    manager_->Process();  // last finishes, the composite with it
    EXPECT_EQ(composite_.state(), DONE);
    EXPECT_FALSE(composite_.success());
    EXPECT_EQ(composite_.result_code(), 204);
    EXPECT_STREQ(composite_.result_message(), "last");
    EXPECT_TRUE(manager_->queue_empty());

    // Without children the composite finishes at once with a neutral result.
    TaskCompositeParallelTask empty(heap(), "Empty");
    manager_->AddTask(&empty);
    manager_->Process();
    manager_->Process();
    EXPECT_EQ(empty.state(), DONE);
    EXPECT_TRUE(empty.success());
    EXPECT_STREQ(empty.result_message(), "");
}

// Cancelling the composite, here by CancelAll, is not passed on: it waits for
// its running child, and one cancelled before its start leaves its children
// alone. A shutdown reaches the children through the list step.
TEST_F(TaskCompositeTest, CancelWaitsForChildrenUntilAShutdownReachesThem) {
    TaskCompositeParallelTask early(heap(), "Early");
    ScriptedTask idle(heap(), "Idle", 1);
    early.AddChild(&idle);
    early.Cancel();
    manager_->AddTask(&early);
    StartComposite();
    ScriptedTask child(heap(), "Child", kNever);
    child.script_code = 204;
    composite_.AddChild(&child);
    manager_->Process();

    manager_->CancelAll();
    manager_->Process();
    manager_->Process();
    EXPECT_EQ(composite_.state(), CANCELLING);
    EXPECT_EQ(child.state(), RUNNING);
    EXPECT_EQ(idle.starts + idle.updates, 0);
    EXPECT_EQ(early.state(), CANCELLING);

    EXPECT_FALSE(manager_->Shutdown());
    manager_->Process();
    EXPECT_TRUE(child.finished_cancelled);
    EXPECT_EQ(composite_.state(), CANCELLED);
    EXPECT_TRUE(composite_.success());
    EXPECT_EQ(composite_.result_code(), 204);
}

TEST_F(TaskCompositeTest, AddChildOnAFullHeapLeavesNoHalfAddedChild) {
    KRTaskSystem::TaskHeap* h = heap();
    StartComposite();
    ScriptedTask child(h, "Child", 1);
    // Room for the list entry (three pointers) but not the callback entry.
    void* filler = h->Alloc(h->capacity() - h->used() - 3 * sizeof(void*));
    ASSERT_NE(filler, nullptr);
    log_.Clear();
    EXPECT_FALSE(composite_.AddChild(&child));
    EXPECT_FALSE(composite_.has_children());
    EXPECT_EQ(Count("[Composite] Failed adding child task 'Child'"), 1u);
    EXPECT_FALSE(composite_.AddChild(nullptr));
    h->Free(filler);

    manager_->Process();
    EXPECT_EQ(child.starts, 0);
    EXPECT_EQ(composite_.state(), DONE);
}

}  // namespace
}  // namespace tasksystem_test
