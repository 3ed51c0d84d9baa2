#include "support/MatchmakerTestSupport.h"

#include <algorithm>

namespace krmm_test {

void Recorder::Attach(krmm_matchmaker* matchmaker) {
    krmm_register_log_callback(matchmaker, &Recorder::OnLog, this);
    krmm_register_msg_callback(matchmaker, &Recorder::OnMsg, this);
}

void Recorder::OnLog(krmm_matchmaker*, int32_t type, const char* line, void* user_data) {
    auto* self = static_cast<Recorder*>(user_data);
    self->lines.emplace_back(line ? line : "");
    self->line_types.push_back(type);
}

void Recorder::OnMsg(krmm_matchmaker*, const char* name, int32_t value, const char* text,
                     void* user_data) {
    auto* self = static_cast<Recorder*>(user_data);
    self->messages.push_back(Message{name ? name : "", value, text ? text : "", text != nullptr});
}

size_t Recorder::CountLines(const std::string& needle) const {
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(needle) != std::string::npos;
    });
}

std::vector<int32_t> Recorder::Values(const std::string& name) const {
    std::vector<int32_t> values;
    for (const Message& message : messages) {
        if (message.name == name) {
            values.push_back(message.value);
        }
    }
    return values;
}

void Recorder::Clear() {
    lines.clear();
    line_types.clear();
    messages.clear();
}

void MatchmakerTest::SetUp() {
    SetClock(100000);
    base_tasks_ = hyl_live_tasks();
    base_responses_ = hyl_live_responses();
    base_json_ = hyl_live_json();
    client_ = hy_client_create(nullptr);
    ASSERT_NE(client_, nullptr);
}

void MatchmakerTest::TearDown() {
    if (mm_ != nullptr) {
        krmm_free_matchmaking(mm_);
        mm_ = nullptr;
    }
    hy_client_free(client_);
    client_ = nullptr;
    hye_emulator_init(0);
    EXPECT_EQ(hyl_live_tasks(), base_tasks_) << "backend tasks left alive";
    EXPECT_EQ(hyl_live_responses(), base_responses_) << "backend responses left alive";
    EXPECT_EQ(hyl_live_json(), base_json_) << "JSON values left alive";
    ReleaseClock();
}

void MatchmakerTest::CreateMatchmaker(uint32_t flags, const char* name) {
    mm_ = krmm_create_matchmaking(client_, name, flags);
    ASSERT_NE(mm_, nullptr);
    rec_.Attach(mm_);
}

void MatchmakerTest::Pump(int passes, uint32_t step_ms) {
    for (int i = 0; i < passes; ++i) {
        AdvanceClock(step_ms);
        krmm_process(mm_);
    }
}

void MatchmakerTest::DrainToIdle() {
    krmm_stop_matchmaking(mm_);
    for (int i = 0; i < 10000 && krmm_process(mm_); ++i) {
        AdvanceClock(10);
    }
}

}  // namespace krmm_test
