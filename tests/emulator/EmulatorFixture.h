#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "emulator/HalyardEmulator.h"
#include "halyard.h"

namespace emulator_test {

// The three hoppers with a fixed match size, and one nobody configured.
constexpr const char* kSoloHopper = "dcb02466-a5de-5d58-8ce3-552e6c7747ae";
constexpr const char* kDuoHopper = "0e6976d1-1655-5da5-8354-3d3a38537aed";
constexpr const char* kTenHopper = "30ac7aba-e072-52cf-b30d-d88c2ff89f76";
constexpr const char* kUnknownHopper = "11111111-2222-4333-8444-555555555555";

// A matchable status body read back into plain values.
struct Status {
    bool present = false;  // false: the response had no body
    std::string text;      // the body as serialized
    int64_t seq = 0;
    std::string matchable_id;
    std::string hopper_id;
    int64_t estimated_hopper_size = -1;
    std::string state;
    bool has_group = false;  // "group_size", "group_members_joined" and "match" present
    int64_t group_size = 0;
    std::vector<std::string> joined;
    std::string match_id;
    std::string match_hopper_id;
    std::vector<std::string> accepted;
    std::vector<std::vector<std::string>> teams;  // identity ids per team
};

Status ReadStatus(const hy_json* body);

// Deterministic ids: byte 15 counts up from 1, the rest stays 0.
bool CountingRandom(uint8_t* out, std::size_t count);
void ResetCountingRandom();
bool FailingRandom(uint8_t* out, std::size_t count);

// The process-wide emulator, reset around each test, with its lines captured.
// Tear down proves every JSON value the emulator built has been released.
class EmulatorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    KRHalyardEmulator::HalyardEmulator& emu() {
        return KRHalyardEmulator::HalyardEmulator::Instance();
    }

    // A distinct backend client handle; the emulator never dereferences it.
    hy_client* Handle(int index);
    // Issues a ticket request and returns the ticket of its body.
    std::string NewTicket(hy_client* client, const char* hopper_id);
    std::string NewTicket(int handle_index, const char* hopper_id) {
        return NewTicket(Handle(handle_index), hopper_id);
    }

    // One request answered: checks that the task is complete and successful
    // and of the expected type, reads its body and frees the task.
    Status Answer(const char* task_id, uint32_t expected_type);
    Status KeepAlive(const std::string& ticket);
    Status Accept(const std::string& ticket);
    Status Start(const std::string& ticket);
    Status Cancel(const std::string& ticket, bool soft);

    std::string Identity(int handle_index) { return emu().GetIdentity(Handle(handle_index)); }

    // Lines whose text contains needle.
    std::size_t CountLines(const std::string& needle) const;
    bool HasLine(const std::string& needle) const { return CountLines(needle) > 0; }

    std::vector<std::string> lines_;
    uint32_t json_baseline_ = 0;

private:
    static void Capture(const char* line, void* user);
    alignas(8) char handles_[64][8] = {};
};

}  // namespace emulator_test
