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

// Text, "" for null.
inline std::string TextOf(const char* text) {
    return text != nullptr ? text : "";
}

// The texts of a JSON array of strings.
inline std::vector<std::string> Strings(const hy_json* array) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < hy_json_get_size(array); ++i) {
        out.push_back(TextOf(hy_json_get_string(hy_json_get_value(array, i))));
    }
    return out;
}

inline Status ReadStatus(const hy_json* body) {
    Status status;
    if (body == nullptr) {
        return status;
    }
    status.present = true;
    char* text = hy_json_serialize(body, 0);
    status.text = TextOf(text);
    hy_free(text);
    status.seq = hy_json_get_integer_item(body, "seq");
    status.estimated_hopper_size = hy_json_get_integer_item(body, "estimated_hopper_size");
    status.state = TextOf(hy_json_get_string_item(body, "state"));
    const hy_json* match = hy_json_get_item(body, "match");
    status.joined = Strings(hy_json_get_item(body, "group_members_joined"));
    status.match_id = TextOf(hy_json_get_string_item(match, "id"));
    status.accepted = Strings(hy_json_get_item(match, "accepted"));
    const hy_json* teams = hy_json_get_item(match, "teams");
    for (int32_t t = 0; t < hy_json_get_size(teams); ++t) {
        const hy_json* team = hy_json_get_value(teams, t);
        status.teams.emplace_back();
        for (int32_t m = 0; m < hy_json_get_size(team); ++m) {
            status.teams.back().push_back(
                TextOf(hy_json_get_string_item(hy_json_get_value(team, m), "identity_id")));
        }
    }
    return status;
}

// The process-wide emulator, reset around each test, with its lines captured.
// Tear down proves every JSON value the emulator built has been released.
class EmulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        emu().Reset();
        emu().SetRandomSource(nullptr);
        emu().SetOutput(
            [](const char* line, void* lines) {
                static_cast<std::vector<std::string>*>(lines)->push_back(line);
            },
            &lines_);
        json_baseline_ = hyl_live_json();
    }
    void TearDown() override {
        emu().Reset();
        emu().SetOutput(nullptr, nullptr);
        emu().SetRandomSource(nullptr);
        EXPECT_EQ(hyl_live_json(), json_baseline_) << "JSON values left alive";
    }

    KRHalyardEmulator::HalyardEmulator& emu() {
        return KRHalyardEmulator::HalyardEmulator::Instance();
    }

    // A distinct backend client handle; the emulator never dereferences it.
    hy_client* Handle(int index) { return reinterpret_cast<hy_client*>(handles_[index]); }
    // Issues a ticket request for a handle and returns the ticket of its body.
    std::string NewTicket(int handle_index, const char* hopper_id) {
        hy_uuid hopper{};
        EXPECT_EQ(hy_uuid_set_from_string(&hopper, hopper_id), 0);
        const char* task = emu().MatchmakingTicket(Handle(handle_index), &hopper, nullptr, nullptr,
                                                   0, nullptr, nullptr);
        const std::string ticket =
            TextOf(hy_json_get_string_item(emu().ResponseGetJson(task), "ticket"));
        emu().TaskFree(task);
        EXPECT_FALSE(ticket.empty());
        return ticket;
    }

    // One request answered: checks that the task is complete, successful and
    // of the expected type, reads its body and frees the task.
    Status Answer(const char* task_id, uint32_t expected_type) {
        // An unknown id fails here; the emulator answers every later call on it
        // as a failed task.
        const KRHalyardEmulator::Task* task = emu().FindTask(task_id);
        EXPECT_EQ(task != nullptr ? task->type() : ~0u, expected_type);
        EXPECT_TRUE(emu().IsEmulatorHandle(task_id));
        EXPECT_FALSE(emu().TaskIsPending(task_id));
        EXPECT_TRUE(emu().TaskIsOkay(task_id));
        const char* response = emu().TaskFetchResponse(task_id);
        EXPECT_EQ(response, task_id);
        EXPECT_EQ(emu().ResponseGetStatusCode(response), 200);
        const Status status = ReadStatus(emu().ResponseGetJson(response));
        emu().ResponseFree(response);
        emu().TaskFree(task_id);
        return status;
    }
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
    std::size_t CountLines(const std::string& needle) const {
        std::size_t count = 0;
        for (const std::string& line : lines_) {
            count += line.find(needle) != std::string::npos ? 1 : 0;
        }
        return count;
    }
    bool HasLine(const std::string& needle) const { return CountLines(needle) > 0; }

    std::vector<std::string> lines_;
    uint32_t json_baseline_ = 0;

private:
    alignas(8) char handles_[64][8] = {};
};

}  // namespace emulator_test
