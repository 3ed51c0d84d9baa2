// Ids, log lines, task handles, identities, proofs and the ownership of JSON values.
#include <cinttypes>
#include <cstdio>

#include "EmulatorFixture.h"
#include "emulator/EmulatedTask.h"
#include "emulator/Uuid.h"

namespace emulator_test {
namespace {

using KRHalyardEmulator::EMU_LOG_INFO;

// Deterministic ids: the last byte counts up from 1, the rest stays 0.
uint8_t g_drawn = 0;
bool CountingRandom(uint8_t* out, std::size_t count) {
    std::fill(out, out + count, 0);
    out[count - 1] = ++g_drawn;
    return true;
}

bool FailingRandom(uint8_t*, std::size_t) {
    return false;
}

TEST(UuidFormat, BytesInOrderLowerCaseWithVersionDigitForced) {
    const uint8_t bytes[16] = {0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x23, 0xFA, 0xBC,
                               0xC7, 0x89, 0xAB, 0xCD, 0xEF, 0x00, 0x11, 0x22};
    // "fabc" keeps its last three digits; the variant digit "c" stays as drawn.
    EXPECT_EQ(KRHalyardEmulator::FormatUuid(bytes), "deadbeef-0123-4abc-c789-abcdef001122");
}

TEST_F(EmulatorTest, FailingRandomSourceWarnsOnceAndStillGivesDistinctIds) {
    emu().SetRandomSource(&FailingRandom);
    const std::string first = emu().NewUuid();
    const std::string second = emu().NewUuid();
    EXPECT_EQ(first.size(), 36u);
    EXPECT_EQ(first[14], '4') << first;
    EXPECT_NE(first, second);
    EXPECT_EQ(CountLines("[HYE][WRN] HalyardEmulator::NewUuid: random source failed"), 1u);
}

TEST_F(EmulatorTest, LogLinesCarryTheLevelTagAndAreCut) {
    emu().EmulatorLog(EMU_LOG_INFO, "value %d", 7);
    emu().EmulatorLog(KRHalyardEmulator::EMU_LOG_DEBUG, "dbg");
    emu().EmulatorLog(KRHalyardEmulator::EMU_LOG_WARNING, "careful");
    emu().EmulatorLog(9, "odd");
    emu().EmulatorLog(EMU_LOG_INFO, "%s", std::string(5000, 'x').c_str());
    ASSERT_EQ(lines_.size(), 5u);
    // The whole line, prefix included, stops at 2047 characters.
    EXPECT_EQ(lines_[4].size(), 2047u);
    lines_.pop_back();
    EXPECT_EQ(lines_, (std::vector<std::string>{"[HYE][NFO] value 7\n", "[HYE][DBG] dbg\n",
                                                "[HYE][WRN] careful\n", "[HYE][UKN] odd\n"}));
}

TEST_F(EmulatorTest, TicketRequestDrawsIdsInOrderAndLogsTheTicket) {
    emu().SetRandomSource(&CountingRandom);
    g_drawn = 0;
    hy_uuid hopper{};
    ASSERT_EQ(hy_uuid_set_from_string(&hopper, kDuoHopper), 0);
    const char* task =
        emu().MatchmakingTicket(Handle(0), &hopper, nullptr, nullptr, 0, nullptr, nullptr);
    // Draws in order: ticket 1, identity 2, task id 3.
    const std::string ticket = "00000000-0000-4000-0000-000000000001";
    EXPECT_STREQ(task, "00000000-0000-4000-0000-000000000003");
    char pointer[40];
    std::snprintf(pointer, sizeof(pointer), "0x%0*" PRIXPTR, static_cast<int>(sizeof(void*) * 2),
                  reinterpret_cast<uintptr_t>(Handle(0)));
    // The line carrying the ticket, the client handle, its identity and the hopper.
    EXPECT_TRUE(HasLine("[HYE][NFO] HalyardEmulator::GenerateTicket: Generated ticket " + ticket +
                        " for hyClient: " + pointer +
                        " (00000000-0000-4000-0000-000000000002) and hopper '" + kDuoHopper +
                        "'\n"));
    // The body is the single member "ticket".
    EXPECT_EQ(ReadStatus(emu().ResponseGetJson(task)).text, "{\"ticket\":\"" + ticket + "\"}");
    emu().TaskFree(task);
}

TEST_F(EmulatorTest, TaskQueriesAndHandleRecognition) {
    const std::string ticket = NewTicket(0, kDuoHopper);
    const char* task = emu().MatchmakingKeepAlive(ticket.c_str());
    lines_.clear();
    // The fixture's Answer checks pending, okay, fetch and status on every
    // request; here the two queries it does not make.
    EXPECT_FALSE(emu().TaskIsTimedOut(task));
    EXPECT_TRUE(emu().ResponseIsOkay(task));
    // Each query logs its call and the handle it was given.
    const std::string id = task;
    EXPECT_EQ(CountLines("Id: " + id + "\n"), 2u);

    // A copy of the id text is served by its characters, but only the
    // pointer handed out is one of the emulator's handles; a foreign handle
    // is never read.
    EXPECT_TRUE(emu().IsEmulatorHandle(task));
    EXPECT_FALSE(emu().IsEmulatorHandle(id.c_str()));
    EXPECT_EQ(emu().TaskFetchResponse(id.c_str()), task);
    const uint8_t not_text[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_FALSE(emu().IsEmulatorHandle(not_text));
    emu().TaskFree(task);
    EXPECT_FALSE(emu().IsEmulatorHandle(task));

    // A freed or null handle is answered as a failed task, tables untouched.
    lines_.clear();
    for (const char* handle : {id.c_str(), static_cast<const char*>(nullptr)}) {
        EXPECT_FALSE(emu().TaskIsOkay(handle));
        EXPECT_EQ(emu().TaskFetchResponse(handle), nullptr);
        EXPECT_EQ(emu().ResponseGetStatusCode(handle), -1);
        EXPECT_EQ(emu().ResponseGetJson(handle), nullptr);
        emu().TaskFree(handle);
    }
    EXPECT_EQ(CountLines("[HYE][WRN] HalyardEmulator::TaskIsOkay: No task with id " + id), 1u);
    EXPECT_EQ(CountLines("HalyardEmulator::TaskFree: taskId: <null>"), 1u);
    EXPECT_EQ(emu().task_count(), 0u);
    EXPECT_EQ(emu().client_count(), 1u);
}

// The exchange observer hears of a freed task once it has left the tables,
// so it may make requests of its own, which grow (and rehash) the task table.
TEST_F(EmulatorTest, ObserverOfAFreedTaskMayMakeRequests) {
    struct Seen {
        std::string ticket;
        std::size_t tasks_left = 99;
    } seen;
    seen.ticket = NewTicket(0, kDuoHopper);
    emu().SetExchangeObserver(
        [](const KRHalyardEmulator::Exchange&, void* user) {
            auto* seen = static_cast<Seen*>(user);
            auto& emulator = KRHalyardEmulator::HalyardEmulator::Instance();
            seen->tasks_left = emulator.task_count();
            emulator.SetExchangeObserver(nullptr, nullptr);  // hear of one task only
            for (int i = 0; i < 64; ++i) {
                emulator.MatchmakingKeepAlive(seen->ticket.c_str());
            }
        },
        &seen);
    emu().TaskFree(emu().MatchmakingKeepAlive(seen.ticket.c_str()));
    EXPECT_EQ(seen.tasks_left, 0u);
    EXPECT_EQ(emu().task_count(), 64u);
}

TEST_F(EmulatorTest, UnknownTicketsGetClientlessTasksWithoutABody) {
    using namespace KRHalyardEmulator;
    const std::pair<const char*, uint32_t> made[] = {
        {emu().MatchmakingKeepAlive("stray"), TASK_TYPE_MATCHMAKE_CLIENT},
        {emu().MatchmakingAccept("stray"), TASK_TYPE_ACCEPT},
        {emu().MatchmakingCancel("stray", false), TASK_TYPE_CANCEL},
        {emu().MatchmakingStart("stray", nullptr), TASK_TYPE_START},
        {emu().MatchmakingKeepAlive(nullptr), TASK_TYPE_MATCHMAKE_CLIENT},
    };
    for (const auto& [task, type] : made) {
        EXPECT_FALSE(Answer(task, type).present);
    }
    EXPECT_EQ(CountLines(": Unknown ticket"), 5u);
    EXPECT_EQ(emu().client_count(), 0u);

    // No hopper, no ticket; the attributes went with the refused request.
    EXPECT_EQ(emu().MatchmakingTicket(Handle(0), nullptr, nullptr, nullptr, 0, hy_json_new_object(),
                                      nullptr),
              nullptr);
    EXPECT_EQ(emu().client_count(), 0u);
}

TEST_F(EmulatorTest, BodiesBelongToTheTaskAndProofRequestsMakeNone) {
    const std::string ticket = NewTicket(0, kDuoHopper);
    const uint32_t before = hyl_live_json();
    const char* task = emu().MatchmakingKeepAlive(ticket.c_str());
    hy_json* first = emu().ResponseGetJson(task);
    hy_json* second = emu().ResponseGetJson(task);
    // Two bodies of one response are two builds, one "seq" apart.
    EXPECT_EQ(hy_json_get_integer_item(second, "seq"), hy_json_get_integer_item(first, "seq") + 1);
    emu().ResponseFree(task);
    EXPECT_GT(hyl_live_json(), before);
    emu().TaskFree(task);
    EXPECT_EQ(hyl_live_json(), before);

    // Values handed over with requests are released by the emulator.
    emu().TaskFree(emu().MatchmakingStart(ticket.c_str(), hy_json_new_object()));
    EXPECT_TRUE(HasLine("join_info: <json_object>"));
    EXPECT_EQ(hyl_live_json(), before);

    // Proof requests only log: no task, no value.
    EXPECT_EQ(emu().MatchmakingCreateProof(ticket.c_str()), nullptr);
    EXPECT_EQ(emu().MatchmakingCheckProof(nullptr), nullptr);
    EXPECT_EQ(emu().MatchmakingCreateManualProof("anything"), nullptr);
    EXPECT_TRUE(HasLine("HalyardEmulator::MatchmakingCreateProof: ticket: " + ticket + "\n"));
    EXPECT_EQ(emu().task_count(), 0u);
    EXPECT_EQ(hyl_live_json(), before);
}

}  // namespace
}  // namespace emulator_test
