#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "support/MatchmakerTestSupport.h"
#include "tasksystem/Task.h"
#include "tasksystem/TaskCompositeTask.h"
#include "tasksystem/TaskManager.h"
#include "util/Clock.h"

namespace tasksystem_test {

namespace TestClock = KRMatchmakingSystem::TestClock;
using KRTaskSystem::CANCELLED;
using KRTaskSystem::CANCELLING;
using KRTaskSystem::DONE;
using KRTaskSystem::RUNNING;
using KRTaskSystem::Task;
using KRTaskSystem::TaskManager;

constexpr int kNever = -1;

// A task whose Update reports the end on a chosen call, or as soon as it is
// cancelled; it finishes with a scripted result.
class ScriptedTask : public Task {
public:
    ScriptedTask(KRTaskSystem::TaskHeap* heap, const char* name, int finish_on_update = 1)
        : Task(heap, name), finish_on_update_(finish_on_update) {}

    void Start(TaskManager* manager) override {
        ++starts;
        Task::Start(manager);
    }
    bool Update() override {
        ++updates;
        if (state() == CANCELLING && finish_when_cancelled) {
            return true;
        }
        return finish_on_update_ != kNever && updates >= finish_on_update_;
    }
    void OnFinished(bool cancelled) override {
        finished_cancelled = cancelled;
        SetFinishedInfo(script_success, script_code, script_message);
    }

    int starts = 0;
    int updates = 0;
    bool finish_when_cancelled = true;
    bool finished_cancelled = false;
    // The result OnFinished reports.
    bool script_success = true;
    int32_t script_code = 0;
    const char* script_message = nullptr;

private:
    int finish_on_update_;
};

// A finished callback that appends "task success code message" to the
// std::vector<std::string> it is given.
inline void RecordFinished(Task* task, bool success, int32_t code, const char* message,
                           void* calls) {
    static_cast<std::vector<std::string>*>(calls)->push_back(
        std::string(task->name()) + (success ? " ok " : " failed ") + std::to_string(code) + " " +
        (message ? message : "<null>"));
}

// A manager with every line recorded, on a test clock that starts at 1000 ms.
class TaskSystemTest : public ::testing::Test {
protected:
    // Built in the constructor so that fixtures may create tasks on the
    // manager's heap in their member initialisers.
    TaskSystemTest() {
        TestClock::Set(1000);
        manager_ = std::make_unique<TaskManager>("tests", 0xFFFFFFFFu);
        manager_->AddLogCallback(&TaskSystemTest::Record, &log_);
    }
    ~TaskSystemTest() override { TestClock::Release(); }

    KRTaskSystem::TaskHeap* heap() { return manager_->heap(); }

    // Lines containing needle.
    size_t Count(const std::string& needle) const { return log_.CountLines(needle); }
    // Index of the first line containing needle; -1 if none.
    int IndexOf(const std::string& needle) const {
        for (size_t i = 0; i < log_.lines.size(); ++i) {
            if (log_.lines[i].find(needle) != std::string::npos) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    static std::string Address(const Task* task) {
        char text[64];
        std::snprintf(text, sizeof(text), "(0x%p)", static_cast<const void*>(task));
        return text;
    }
    // Task manager lines go where a matchmaker's would, with their level as type.
    static void Record(TaskManager*, uint32_t level, const char* line, void* log) {
        static_cast<krmm_test::Recorder*>(log)->lines.emplace_back(line);
        static_cast<krmm_test::Recorder*>(log)->line_types.push_back(static_cast<int32_t>(level));
    }

    std::unique_ptr<TaskManager> manager_;
    krmm_test::Recorder log_;
};

}  // namespace tasksystem_test
