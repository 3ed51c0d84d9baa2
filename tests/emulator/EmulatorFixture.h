#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "emulator/EmulatedTask.h"
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
    int64_t estimated_hopper_size = -1;
    std::string state;
    std::vector<std::string> joined;  // "group_members_joined"
    std::string match_id;
    std::vector<std::string> accepted;
    std::vector<std::vector<std::string>> teams;  // identity ids per team
};

Status ReadStatus(const hy_json* body);

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
    hy_client* Handle(int index) { return reinterpret_cast<hy_client*>(handles_[index]); }
    // Issues a ticket request for a handle and returns the ticket of its body.
    std::string NewTicket(int handle_index, const char* hopper_id);

    // One request answered: checks that the task is complete, successful and
    // of the expected type, reads its body and frees the task.
    Status Answer(const char* task_id, uint32_t expected_type);
    Status KeepAlive(const std::string& ticket) {
        return Answer(emu().MatchmakingKeepAlive(ticket.c_str()),
                      KRHalyardEmulator::TASK_TYPE_MATCHMAKE_CLIENT);
    }
    Status Accept(const std::string& ticket) {
        return Answer(emu().MatchmakingAccept(ticket.c_str()), KRHalyardEmulator::TASK_TYPE_ACCEPT);
    }
    Status Start(const std::string& ticket) {
        return Answer(emu().MatchmakingStart(ticket.c_str(), nullptr),
                      KRHalyardEmulator::TASK_TYPE_START);
    }
    Status Cancel(const std::string& ticket, bool soft) {
        return Answer(emu().MatchmakingCancel(ticket.c_str(), soft),
                      KRHalyardEmulator::TASK_TYPE_CANCEL);
    }

    std::string Identity(int handle_index) { return emu().GetIdentity(Handle(handle_index)); }

    // Lines whose text contains needle.
    std::size_t CountLines(const std::string& needle) const;
    bool HasLine(const std::string& needle) const { return CountLines(needle) > 0; }

    std::vector<std::string> lines_;
    uint32_t json_baseline_ = 0;

private:
    alignas(8) char handles_[64][8] = {};
};

}  // namespace emulator_test
