#include "EmulatorFixture.h"

#include "emulator/EmulatedTask.h"

namespace emulator_test {
namespace {

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

void Capture(const char* line, void* user) {
    static_cast<std::vector<std::string>*>(user)->push_back(line);
}

}  // namespace

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
    status.estimated_hopper_size = hy_json_get_integer_item(body, "estimated_hopper_size");
    status.state = Text(hy_json_get_string_item(body, "state"));
    const hy_json* match = hy_json_get_item(body, "match");
    status.joined = Strings(hy_json_get_item(body, "group_members_joined"));
    status.match_id = Text(hy_json_get_string_item(match, "id"));
    status.accepted = Strings(hy_json_get_item(match, "accepted"));
    const hy_json* teams = hy_json_get_item(match, "teams");
    for (int32_t t = 0; t < hy_json_get_size(teams); ++t) {
        const hy_json* team = hy_json_get_value(teams, t);
        status.teams.emplace_back();
        for (int32_t m = 0; m < hy_json_get_size(team); ++m) {
            status.teams.back().push_back(
                Text(hy_json_get_string_item(hy_json_get_value(team, m), "identity_id")));
        }
    }
    return status;
}

void EmulatorTest::SetUp() {
    emu().Reset();
    emu().SetRandomSource(nullptr);
    emu().SetOutput(&Capture, &lines_);
    json_baseline_ = hyl_live_json();
}

void EmulatorTest::TearDown() {
    emu().Reset();
    emu().SetOutput(nullptr, nullptr);
    emu().SetRandomSource(nullptr);
    EXPECT_EQ(hyl_live_json(), json_baseline_) << "JSON values left alive";
}

std::string EmulatorTest::NewTicket(int handle_index, const char* hopper_id) {
    hy_uuid hopper{};
    EXPECT_EQ(hy_uuid_set_from_string(&hopper, hopper_id), 0);
    const char* task = emu().MatchmakingTicket(Handle(handle_index), &hopper, nullptr, nullptr, 0,
                                               nullptr, nullptr);
    const std::string ticket = Text(hy_json_get_string_item(emu().ResponseGetJson(task), "ticket"));
    emu().TaskFree(task);
    EXPECT_FALSE(ticket.empty());
    return ticket;
}

Status EmulatorTest::Answer(const char* task_id, uint32_t expected_type) {
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

std::size_t EmulatorTest::CountLines(const std::string& needle) const {
    std::size_t count = 0;
    for (const std::string& line : lines_) {
        count += line.find(needle) != std::string::npos ? 1 : 0;
    }
    return count;
}

}  // namespace emulator_test
