#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "KRMatchmakingSystem.h"
#include "halyard.h"
#include "matchmaking/MatchmakingSystem.h"
#include "util/Clock.h"

namespace krmm_test {

// One message as the game's message callback received it.
struct Message {
    std::string name;
    int32_t value;
    std::string text;
    bool has_text;
};

// Records every log line and message a matchmaker delivers.
class Recorder {
public:
    // Registers log and message callbacks on matchmaker.
    void Attach(krmm_matchmaker* matchmaker);

    std::vector<std::string> lines;
    std::vector<int32_t> line_types;
    std::vector<Message> messages;

    // Lines that contain needle.
    size_t CountLines(const std::string& needle) const;
    bool HasLine(const std::string& needle) const { return CountLines(needle) > 0; }
    // Values of every "state" message, in order.
    std::vector<int32_t> States() const { return Values("state"); }
    // Values of every message with that name, in order.
    std::vector<int32_t> Values(const std::string& name) const;
    void Clear();

private:
    static void OnLog(krmm_matchmaker*, int32_t type, const char* line, void* user_data);
    static void OnMsg(krmm_matchmaker*, const char* name, int32_t value, const char* text,
                      void* user_data);
};

// A matchmaker on a loopback client with the clock under test control. Tear
// down proves that nothing the client library handed out is still alive.
class MatchmakerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the matchmaker (flags: every log flag unless given) and attaches
    // the recorder.
    void CreateMatchmaker(uint32_t flags = 0xFFu, const char* name = "test");
    // n process passes, advancing the clock by step_ms before each.
    void Pump(int passes, uint32_t step_ms = 0);
    // Stops, then passes until idle with an empty queue.
    void DrainToIdle();

    hy_client* client_ = nullptr;
    krmm_matchmaker* mm_ = nullptr;
    Recorder rec_;
    uint32_t base_tasks_ = 0;
    uint32_t base_responses_ = 0;
    uint32_t base_json_ = 0;
};

// Sets the injected clock (milliseconds) used by the matchmaker and tasks.
inline void SetClock(uint32_t ms) {
    KRMatchmakingSystem::TestClock::Set(ms);
}
inline void AdvanceClock(uint32_t ms) {
    KRMatchmakingSystem::TestClock::Advance(ms);
}
inline void ReleaseClock() {
    KRMatchmakingSystem::TestClock::Release();
}
inline KRMatchmakingSystem::MatchmakingSystem* Sys(krmm_matchmaker* handle) {
    return KRMatchmakingSystem::MatchmakingSystem::FromHandle(handle);
}
// The matchmaker state (the C interface has no getter for it).
inline int32_t StateOf(krmm_matchmaker* matchmaker) {
    return Sys(matchmaker)->state();
}

}  // namespace krmm_test
