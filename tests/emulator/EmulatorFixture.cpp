#include "EmulatorFixture.h"

#include "emulator/EmulatedTask.h"

namespace emulator_test {
namespace {

uint32_t g_counter = 0;

std::string Text(const char* text) {
    return text != nullptr ? text : "";
}

std::vector<std::string> Strings(const hy_json* array) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < hy_json_get_size(array); ++i) {
        out.push_back(Text(hy_json_get_string(hy_json_get_value(array, i))));
    }
    return out;
}

}  // namespace

bool CountingRandom(uint8_t* out, std::size_t count) {
    ++g_counter;
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = 0;
    }
    out[count - 1] = static_cast<uint8_t>(g_counter);
    out[count - 2] = static_cast<uint8_t>(g_counter >> 8);
    return true;
}

void ResetCountingRandom() {
    g_counter = 0;
}

bool FailingRandom(uint8_t*, std::size_t) {
    return false;
}

Status ReadStatus(const hy_json* body) {
    Status status;
    if (body == nullptr) {
        return status;
    }
    status.present = true;
    char* text = hy_json_serialize(body, 0);
    status.text = Text(text);
    hy_free(text);
    status.seq = hy_json_get_integer_item(body, "seq");
    status.matchable_id = Text(hy_json_get_string_item(body, "matchable_id"));
    status.hopper_id = Text(hy_json_get_string_item(body, "hopper_id"));
    status.estimated_hopper_size = hy_json_get_integer_item(body, "estimated_hopper_size");
    status.state = Text(hy_json_get_string_item(body, "state"));
    const hy_json* match = hy_json_get_item(body, "match");
    status.has_group = hy_json_get_item(body, "group_size") != nullptr &&
                       hy_json_get_item(body, "group_members_joined") != nullptr &&
                       match != nullptr;
    status.group_size = hy_json_get_integer_item(body, "group_size");
    status.joined = Strings(hy_json_get_item(body, "group_members_joined"));
    if (match != nullptr) {
        status.match_id = Text(hy_json_get_string_item(match, "id"));
        status.match_hopper_id = Text(hy_json_get_string_item(match, "hopper_id"));
        status.accepted = Strings(hy_json_get_item(match, "accepted"));
        const hy_json* teams = hy_json_get_item(match, "teams");
        for (int32_t t = 0; t < hy_json_get_size(teams); ++t) {
            const hy_json* team = hy_json_get_value(teams, t);
            std::vector<std::string> members;
            for (int32_t m = 0; m < hy_json_get_size(team); ++m) {
                members.push_back(
                    Text(hy_json_get_string_item(hy_json_get_value(team, m), "identity_id")));
            }
            status.teams.push_back(members);
        }
    }
    return status;
}

void EmulatorTest::SetUp() {
    emu().Reset();
    emu().SetRandomSource(nullptr);
    emu().SetOutput(&EmulatorTest::Capture, &lines_);
    json_baseline_ = hyl_live_json();
}

void EmulatorTest::TearDown() {
    emu().Reset();
    emu().SetOutput(nullptr, nullptr);
    emu().SetRandomSource(nullptr);
    EXPECT_EQ(hyl_live_json(), json_baseline_) << "JSON values left alive";
}

void EmulatorTest::Capture(const char* line, void* user) {
    static_cast<std::vector<std::string>*>(user)->push_back(line);
}

hy_client* EmulatorTest::Handle(int index) {
    return reinterpret_cast<hy_client*>(handles_[index]);
}

std::string EmulatorTest::NewTicket(hy_client* client, const char* hopper_id) {
    hy_uuid hopper{};
    EXPECT_EQ(hy_uuid_set_from_string(&hopper, hopper_id), 0);
    const char* task =
        emu().MatchmakingTicket(client, &hopper, nullptr, nullptr, 0, nullptr, nullptr);
    EXPECT_NE(task, nullptr);
    if (task == nullptr) {
        return "";
    }
    const std::string ticket = Text(hy_json_get_string_item(emu().ResponseGetJson(task), "ticket"));
    emu().TaskFree(task);
    return ticket;
}

Status EmulatorTest::Answer(const char* task_id, uint32_t expected_type) {
    EXPECT_NE(task_id, nullptr);
    if (task_id == nullptr) {
        return Status{};
    }
    const KRHalyardEmulator::Task* task = emu().FindTask(task_id);
    EXPECT_NE(task, nullptr);
    if (task != nullptr) {
        EXPECT_EQ(task->type(), expected_type);
    }
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

Status EmulatorTest::KeepAlive(const std::string& ticket) {
    return Answer(emu().MatchmakingKeepAlive(ticket.c_str()),
                  KRHalyardEmulator::TASK_TYPE_MATCHMAKE_CLIENT);
}

Status EmulatorTest::Accept(const std::string& ticket) {
    return Answer(emu().MatchmakingAccept(ticket.c_str()), KRHalyardEmulator::TASK_TYPE_ACCEPT);
}

Status EmulatorTest::Start(const std::string& ticket) {
    return Answer(emu().MatchmakingStart(ticket.c_str(), nullptr),
                  KRHalyardEmulator::TASK_TYPE_START);
}

Status EmulatorTest::Cancel(const std::string& ticket, bool soft) {
    return Answer(emu().MatchmakingCancel(ticket.c_str(), soft),
                  KRHalyardEmulator::TASK_TYPE_CANCEL);
}

std::size_t EmulatorTest::CountLines(const std::string& needle) const {
    std::size_t count = 0;
    for (const std::string& line : lines_) {
        if (line.find(needle) != std::string::npos) {
            ++count;
        }
    }
    return count;
}

}  // namespace emulator_test
