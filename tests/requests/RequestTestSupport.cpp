#include "RequestTestSupport.h"

#include "util/Clock.h"

namespace requests_test {

using KRMatchmakingSystem::TestClock::Advance;

void RequestTest::SetUp() {
    MatchmakerTest::SetUp();
    base_options_ = hyl_live_options();
    CreateMatchmaker(0xFF, "t");
    system_ = MatchmakingSystem::FromHandle(mm_);
    manager_.reset(new TaskManager("requests", 0xF));
    manager_->AddLogCallback(&RequestTest::OnTaskLog, this);
}

void RequestTest::TearDown() {
    // Whatever a test left queued is cancelled and run to its end, as the
    // matchmaker does when it lets go of its task manager.
    for (int pass = 0; pass < 1000 && !manager_->Shutdown(); ++pass) {
        Advance(100);
        manager_->Process();
    }
    EXPECT_TRUE(manager_->queue_empty()) << "tasks still queued at tear down";
    owned_.clear();
    manager_.reset();
    MatchmakerTest::TearDown();
    EXPECT_EQ(hyl_live_options(), base_options_) << "request options left alive";
}

Finish& RequestTest::Queue(Task* task) {
    finishes_.emplace_back();
    Finish& finish = finishes_.back();
    task->AddFinishedCallback(&RequestTest::OnFinished, &finish);
    EXPECT_TRUE(manager_->AddTask(task));
    return finish;
}

void RequestTest::Pass(int n, uint32_t step_ms) {
    for (int i = 0; i < n; ++i) {
        Advance(step_ms);
        manager_->Process();
    }
}

void RequestTest::RunToEnd(Task* task, uint32_t step_ms, int max_passes) {
    for (int pass = 0; pass < max_passes && !task->IsFinished(); ++pass) {
        Pass(1, step_ms);
    }
    ASSERT_TRUE(task->IsFinished()) << task->name() << " did not finish";
}

void RequestTest::OnTaskLog(TaskManager*, uint32_t, const char* line, void* user_data) {
    static_cast<RequestTest*>(user_data)->rec_.lines.emplace_back(line);
}

void RequestTest::OnFinished(Task*, bool success, int32_t code, const char* message,
                             void* user_data) {
    Finish* finish = static_cast<Finish*>(user_data);
    ++finish->calls;
    finish->success = success;
    finish->code = code;
    finish->message = message != nullptr ? message : "<null>";
}

}  // namespace requests_test
