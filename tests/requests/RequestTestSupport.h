#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "KRMatchmakingSystem.h"
#include "halyard.h"
#include "matchmaking/MatchmakingSystem.h"
#include "support/MatchmakerTestSupport.h"
#include "tasksystem/TaskManager.h"

namespace requests_test {

using KRMatchmakingSystem::MatchmakingSystem;
using KRTaskSystem::Task;
using KRTaskSystem::TaskManager;

// Backend ids of the tests.
constexpr const char* kTicket = "11111111-2222-3333-4444-555555555555";
constexpr const char* kHopper = "aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee";
constexpr const char* kGroup = "12121212-3434-5656-7878-909090909090";
constexpr const char* kSecondGroup = "abababab-cdcd-efef-abab-cdcdcdcdcdcd";
// A matchable status that parses, with seq 3.
constexpr const char* kStatusBody =
    "{\"seq\":3,\"matchable_id\":\"99999999-8888-7777-6666-555555555555\","
    "\"hopper_id\":\"aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee\",\"state\":\"matching\","
    "\"estimated_hopper_size\":7}";

// What a task's finished callback reported.
struct Finish {
    int calls = 0;
    bool success = false;
    int32_t code = 0;
    std::string message;
};

// A matchmaker on a loopback client for the backend handle and a task
// manager of the test's own to run requests on. Tear down drains the manager;
// the base fixture then proves that nothing of the client library, request
// options included, was left alive.
class RequestTest : public krmm_test::MatchmakerTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The test owns the task; it is deleted after the manager has drained.
    template <typename T>
    T* Own(T* task) {
        owned_.emplace_back(task);
        return task;
    }
    // Queues task on the manager and records its finished callback.
    Finish& Queue(Task* task);
    // Owns, queues and runs task to its end (100 ms a pass).
    Finish& Run(Task* task) {
        Finish& finish = Queue(Own(task));
        RunToEnd(task);
        return finish;
    }
    // One manager pass after advancing the clock by step_ms, n times.
    void Pass(int n = 1, uint32_t step_ms = 0);
    // Passes (clock advanced by step_ms before each) until task has finished;
    // fails the test after max_passes.
    void RunToEnd(Task* task, uint32_t step_ms = 100, int max_passes = 2000);

    // Log lines of the test manager (recorded with the matchmaker's) containing needle.
    size_t CountLog(const std::string& needle) const { return rec_.CountLines(needle); }
    uint32_t Sent(hyl_kind kind) const { return hyl_journal_count_kind(client_, kind); }
    // The index-th journal entry; callers first assert that it exists.
    const hyl_request& Journal(uint32_t index) const { return *hyl_journal_get(client_, index); }

    MatchmakingSystem* system_ = nullptr;
    std::unique_ptr<TaskManager> manager_;

private:
    static void OnTaskLog(TaskManager*, uint32_t, const char* line, void* user_data);
    static void OnFinished(Task*, bool success, int32_t code, const char* message, void* user_data);

    std::deque<Finish> finishes_;
    std::vector<std::unique_ptr<Task>> owned_;
    uint32_t base_options_ = 0;
};

}  // namespace requests_test
