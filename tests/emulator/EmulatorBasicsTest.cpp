// Ids, log lines, task handles, identities and the ownership of JSON values.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <set>

#include "EmulatorFixture.h"
#include "emulator/EmulatedClient.h"
#include "emulator/EmulatedTask.h"
#include "emulator/Hopper.h"
#include "emulator/Uuid.h"

namespace emulator_test {
namespace {

using KRHalyardEmulator::EMU_LOG_INFO;
using KRHalyardEmulator::EMU_LOG_WARNING;

bool IsUuidText(const std::string& text) {
    if (text.size() != 36 || text[14] != '4') {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        const char c = text[i];
        if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

TEST(UuidFormat, BytesInOrderLowerCaseWithVersionDigitForced) {
    const uint8_t bytes[16] = {0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x23, 0xFA, 0xBC,
                               0xC7, 0x89, 0xAB, 0xCD, 0xEF, 0x00, 0x11, 0x22};
    // "fabc" keeps its last three digits; the variant digit "c" stays as drawn.
    EXPECT_EQ(KRHalyardEmulator::FormatUuid(bytes), "deadbeef-0123-4abc-c789-abcdef001122");
}

TEST(UuidFormat, FallbackGeneratorGivesDistinctBytes) {
    uint64_t state = 42;
    uint8_t first[16];
    uint8_t second[16];
    KRHalyardEmulator::FillPseudoRandom(&state, first);
    KRHalyardEmulator::FillPseudoRandom(&state, second);
    EXPECT_NE(std::memcmp(first, second, sizeof(first)), 0);
    EXPECT_NE(std::memcmp(first, first + 8, 8), 0);
}

TEST_F(EmulatorTest, EveryDrawnIdIsAVersionFourText) {
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        const std::string id = emu().NewUuid();
        EXPECT_TRUE(IsUuidText(id)) << id;
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 200u);
}

TEST_F(EmulatorTest, FailingRandomSourceWarnsOnceAndStillGivesDistinctIds) {
    emu().SetRandomSource(&FailingRandom);
    const std::string first = emu().NewUuid();
    const std::string second = emu().NewUuid();
    EXPECT_TRUE(IsUuidText(first)) << first;
    EXPECT_TRUE(IsUuidText(second)) << second;
    EXPECT_NE(first, second);
    EXPECT_EQ(CountLines("[HYE][WRN] HalyardEmulator::NewUuid: random source failed"), 1u);
}

TEST_F(EmulatorTest, LogLinesCarryTheLevelTagAndAreCut) {
    emu().EmulatorLog(EMU_LOG_INFO, "value %d", 7);
    emu().EmulatorLog(KRHalyardEmulator::EMU_LOG_DEBUG, "dbg");
    emu().EmulatorLog(EMU_LOG_WARNING, "careful");
    emu().EmulatorLog(9, "odd");
    const std::string long_text(5000, 'x');
    emu().EmulatorLog(EMU_LOG_INFO, "%s", long_text.c_str());
    ASSERT_EQ(lines_.size(), 5u);
    EXPECT_EQ(lines_[0], "[HYE][NFO] value 7\n");
    EXPECT_EQ(lines_[1], "[HYE][DBG] dbg\n");
    EXPECT_EQ(lines_[2], "[HYE][WRN] careful\n");
    EXPECT_EQ(lines_[3], "[HYE][UKN] odd\n");
    // The whole line, prefix included, stops at 2047 characters.
    EXPECT_EQ(lines_[4].size(), 2047u);
    EXPECT_EQ(lines_[4].compare(0, 11, "[HYE][NFO] "), 0);
}

TEST_F(EmulatorTest, TicketRequestLogsItsLinesInOrder) {
    emu().SetRandomSource(&CountingRandom);
    ResetCountingRandom();
    hy_uuid hopper{};
    ASSERT_EQ(hy_uuid_set_from_string(&hopper, kDuoHopper), 0);
    const char* task =
        emu().MatchmakingTicket(Handle(0), &hopper, nullptr, nullptr, 0, nullptr, nullptr);
    ASSERT_NE(task, nullptr);
    // Draws in order: ticket 1, identity 2, task id 3.
    const std::string ticket = "00000000-0000-4000-0000-000000000001";
    const std::string identity = "00000000-0000-4000-0000-000000000002";
    const std::string task_id = "00000000-0000-4000-0000-000000000003";
    EXPECT_EQ(task, task_id);
    char pointer[40];
    std::snprintf(pointer, sizeof(pointer), "0x%0*" PRIXPTR, static_cast<int>(sizeof(void*) * 2),
                  reinterpret_cast<uintptr_t>(Handle(0)));
    const std::vector<std::string> expected = {
        "[HYE][NFO] ===> APICALL MatchmakingTicket\n",
        "[HYE][NFO] HalyardEmulator::EnsureHopperExists: Hopper does not exist - creating hopper "
        "'" +
            std::string(kDuoHopper) + "'\n",
        "[HYE][NFO] " + ticket + ": Client created\n",
        "[HYE][NFO] HalyardEmulator::GenerateTicket: Generated ticket " + ticket +
            " for hyClient: " + pointer + " (" + identity + ") and hopper '" + kDuoHopper + "'\n",
        "[HYE][NFO] HalyardEmulator::RegisterTask: task: TASK_TYPE_MATCHMAKING_TICKET with id " +
            task_id + "\n",
        "[HYE][NFO] HalyardEmulator::MatchmakingTicket: ticket: " + task_id + "\n",
    };
    EXPECT_EQ(lines_, expected);

    // The body is the single member "ticket".
    const Status body = ReadStatus(emu().ResponseGetJson(task));
    hy_json* want = hy_json_new_object();
    hy_json_set_string_key(want, "ticket", ticket.c_str());
    char* want_text = hy_json_serialize(want, 0);
    EXPECT_EQ(body.text, want_text);
    hy_free(want_text);
    hy_json_free(want);
    emu().TaskFree(task);
}

TEST_F(EmulatorTest, TaskQueriesAndHandleRecognition) {
    const std::string ticket = NewTicket(0, kDuoHopper);
    const char* task = emu().MatchmakingKeepAlive(ticket.c_str());
    ASSERT_NE(task, nullptr);
    lines_.clear();

    EXPECT_TRUE(emu().IsEmulatorHandle(task));
    EXPECT_FALSE(emu().TaskIsPending(task));
    EXPECT_FALSE(emu().TaskIsTimedOut(task));
    EXPECT_TRUE(emu().TaskIsOkay(task));
    EXPECT_EQ(emu().TaskFetchResponse(task), task);
    EXPECT_EQ(emu().ResponseGetStatusCode(task), 200);
    EXPECT_TRUE(emu().ResponseIsOkay(task));
    const std::string id = task;
    const std::vector<std::string> expected = {
        "[HYE][NFO] ===> APICALL TaskIsPending ===\n",
        "[HYE][NFO] HalyardEmulator::TaskIsPending: taskId: " + id + "\n",
        "[HYE][NFO] ===> APICALL TaskIsTimedOut ===\n",
        "[HYE][NFO] HalyardEmulator::TaskIsTimedOut: taskId: " + id + "\n",
        "[HYE][NFO] ===> APICALL TaskIsOkay === ===\n",
        "[HYE][NFO] HalyardEmulator::TaskIsOkay: taskId: " + id + "\n",
        "[HYE][NFO] ===> APICALL TaskFetchResponse ===\n",
        "[HYE][NFO] HalyardEmulator::TaskFetchResponse: taskId: " + id + "\n",
        "[HYE][NFO] ===> APICALL ResponseGetStatusCode ===\n",
        "[HYE][NFO] HalyardEmulator::ResponseGetStatusCode: responseId: " + id + "\n",
        "[HYE][NFO] ===> APICALL ResponseIsOkay ===\n",
        "[HYE][NFO] HalyardEmulator::ResponseIsOkay: responseId: " + id + "\n",
    };
    EXPECT_EQ(lines_, expected);

    // A copy of the id text is served by its characters, but is not one of
    // the emulator's handles: only the pointer handed out is.
    EXPECT_FALSE(emu().IsEmulatorHandle(id.c_str()));
    EXPECT_TRUE(emu().TaskIsOkay(id.c_str()));
    EXPECT_EQ(emu().TaskFetchResponse(id.c_str()), task);

    // A foreign handle is never read: a pointer to bytes that are not text.
    const uint8_t not_text[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_FALSE(emu().IsEmulatorHandle(not_text));
    EXPECT_FALSE(emu().IsEmulatorHandle(nullptr));

    emu().TaskFree(task);
    EXPECT_FALSE(emu().IsEmulatorHandle(task));
    EXPECT_EQ(emu().FindTask(id.c_str()), nullptr);
}

TEST_F(EmulatorTest, UnknownHandlesAreAnsweredAsFailedWithoutTouchingTables) {
    const std::string ticket = NewTicket(0, kDuoHopper);
    const char* task = emu().MatchmakingKeepAlive(ticket.c_str());
    const std::string id = task;
    emu().TaskFree(task);
    lines_.clear();

    for (const char* handle : {id.c_str(), "not-a-task", static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(handle != nullptr ? handle : "<null>");
        EXPECT_FALSE(emu().TaskIsPending(handle));
        EXPECT_FALSE(emu().TaskIsTimedOut(handle));
        EXPECT_FALSE(emu().TaskIsOkay(handle));
        EXPECT_EQ(emu().TaskFetchResponse(handle), nullptr);
        EXPECT_EQ(emu().ResponseGetStatusCode(handle), -1);
        EXPECT_FALSE(emu().ResponseIsOkay(handle));
        EXPECT_EQ(emu().ResponseGetJson(handle), nullptr);
        emu().ResponseFree(handle);
        emu().TaskFree(handle);
    }
    EXPECT_EQ(CountLines("HalyardEmulator::TaskFree: taskId: " + id), 1u);
    EXPECT_EQ(CountLines("HalyardEmulator::TaskFree: taskId: <null>"), 1u);
    EXPECT_EQ(CountLines("[HYE][WRN] HalyardEmulator::TaskIsOkay: No task with id not-a-task"), 1u);
    EXPECT_EQ(emu().task_count(), 0u);
    EXPECT_EQ(emu().client_count(), 1u);
}

TEST_F(EmulatorTest, UnknownTicketsGetClientlessTasksWithoutABody) {
    struct Case {
        const char* name;
        const char* (*request)(KRHalyardEmulator::HalyardEmulator&, const char*);
        uint32_t type;
    };
    const Case cases[] = {
        {"MatchmakingKeepAlive",
         [](KRHalyardEmulator::HalyardEmulator& e, const char* t) {
             return e.MatchmakingKeepAlive(t);
         },
         KRHalyardEmulator::TASK_TYPE_MATCHMAKE_CLIENT},
        {"MatchmakingAccept",
         [](KRHalyardEmulator::HalyardEmulator& e, const char* t) {
             return e.MatchmakingAccept(t);
         },
         KRHalyardEmulator::TASK_TYPE_ACCEPT},
        {"MatchmakingCancel",
         [](KRHalyardEmulator::HalyardEmulator& e, const char* t) {
             return e.MatchmakingCancel(t, false);
         },
         KRHalyardEmulator::TASK_TYPE_CANCEL},
        {"MatchmakingStart",
         [](KRHalyardEmulator::HalyardEmulator& e, const char* t) {
             return e.MatchmakingStart(t, nullptr);
         },
         KRHalyardEmulator::TASK_TYPE_START},
    };
    for (const Case& c : cases) {
        for (const char* ticket : {"stray-ticket", static_cast<const char*>(nullptr)}) {
            SCOPED_TRACE(std::string(c.name) + " " + (ticket != nullptr ? ticket : "<null>"));
            lines_.clear();
            const char* task = c.request(emu(), ticket);
            const KRHalyardEmulator::Task* made = emu().FindTask(task);
            ASSERT_NE(made, nullptr);
            EXPECT_EQ(made->client(), nullptr);
            const Status status = Answer(task, c.type);
            EXPECT_FALSE(status.present);
            EXPECT_EQ(CountLines(std::string("[HYE][WRN] HalyardEmulator::") + c.name +
                                 ": Unknown ticket"),
                      1u);
        }
    }
    EXPECT_EQ(emu().client_count(), 0u);
    EXPECT_EQ(emu().hopper_count(), 0u);
}

TEST_F(EmulatorTest, RequestWithoutHopperMakesNoTicket) {
    hy_json* attributes = hy_json_new_object();
    EXPECT_EQ(emu().MatchmakingTicket(Handle(0), nullptr, nullptr, nullptr, 0, attributes, nullptr),
              nullptr);
    EXPECT_EQ(emu().client_count(), 0u);
    EXPECT_EQ(emu().task_count(), 0u);
    // The attributes went with the refused request.
    EXPECT_EQ(hyl_live_json(), json_baseline_);
}

// A matchmaker made without a backend client depends on the emulator for
// everything, so a null handle must get a ticket and an identity of its own.
TEST_F(EmulatorTest, NullClientHandleIsServedLikeAnyOther) {
    const std::string ticket = NewTicket(nullptr, kSoloHopper);
    EXPECT_TRUE(IsUuidText(ticket)) << ticket;
    const char* identity = emu().GetIdentity(nullptr);
    ASSERT_NE(identity, nullptr);
    EXPECT_TRUE(IsUuidText(identity)) << identity;
    EXPECT_EQ(std::string(emu().GetIdentity(nullptr)), identity);
    EXPECT_NE(Identity(0), identity);

    const Status status = KeepAlive(ticket);
    EXPECT_EQ(status.state, "matched");
    EXPECT_EQ(status.joined, std::vector<std::string>{identity});
    EXPECT_EQ(status.teams, (std::vector<std::vector<std::string>>{{identity}}));
}

TEST_F(EmulatorTest, ProofRequestsOnlyLog) {
    const std::string ticket = NewTicket(0, kDuoHopper);
    lines_.clear();
    EXPECT_EQ(emu().MatchmakingCreateProof(ticket.c_str()), nullptr);
    EXPECT_EQ(emu().MatchmakingCheckProof(nullptr), nullptr);
    EXPECT_EQ(emu().MatchmakingCreateManualProof("anything"), nullptr);
    const std::vector<std::string> expected = {
        "[HYE][NFO] ===> APICALL MatchmakingCreateProof ===\n",
        "[HYE][NFO] HalyardEmulator::MatchmakingCreateProof: ticket: " + ticket + "\n",
        "[HYE][NFO] ===> APICALL MatchmakingCheckProof ===\n",
        "[HYE][NFO] HalyardEmulator::MatchmakingCheckProof: proof: <null>\n",
        "[HYE][NFO] ===> APICALL MatchmakingCreateManualProof ===\n",
    };
    EXPECT_EQ(lines_, expected);
    EXPECT_EQ(emu().task_count(), 0u);
}

TEST_F(EmulatorTest, IdentitiesAreStablePerHandle) {
    const std::string first = NewTicket(0, kDuoHopper);
    const std::string second = NewTicket(0, kSoloHopper);
    const std::string other = NewTicket(1, kDuoHopper);
    EXPECT_NE(first, second);
    const std::string identity = Identity(0);
    EXPECT_TRUE(IsUuidText(identity));
    EXPECT_EQ(Identity(0), identity);
    EXPECT_NE(Identity(1), identity);

    // Both clients of handle 0 show that identity; the solo one is in a match.
    const Status solo = KeepAlive(second);
    EXPECT_EQ(solo.joined, std::vector<std::string>{identity});
    // An identity asked for before any ticket is kept for later tickets.
    const std::string early = Identity(5);
    NewTicket(5, kSoloHopper);
    EXPECT_EQ(Identity(5), early);
}

TEST_F(EmulatorTest, SwitchingTheFlagKeepsEverything) {
    const std::string ticket = NewTicket(0, kDuoHopper);
    const char* task = emu().MatchmakingKeepAlive(ticket.c_str());
    emu().set_enabled(true);
    emu().set_enabled(false);
    emu().set_enabled(true);
    EXPECT_TRUE(emu().enabled());
    EXPECT_TRUE(emu().IsEmulatorHandle(task));
    EXPECT_NE(emu().FindClient(ticket.c_str()), nullptr);
    EXPECT_NE(emu().FindHopper(kDuoHopper), nullptr);
    EXPECT_EQ(KeepAlive(ticket).state, "matching");
    emu().TaskFree(task);
}

TEST_F(EmulatorTest, BodiesBelongToTheTaskAndGoWithIt) {
    const std::string ticket = NewTicket(0, kDuoHopper);
    const uint32_t before = hyl_live_json();
    const char* task = emu().MatchmakingKeepAlive(ticket.c_str());
    hy_json* first = emu().ResponseGetJson(task);
    hy_json* second = emu().ResponseGetJson(task);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(emu().FindTask(task)->owned_json_count(), 2u);
    // Two bodies of one response are two builds, one "seq" apart.
    EXPECT_EQ(hy_json_get_integer_item(second, "seq"), hy_json_get_integer_item(first, "seq") + 1);
    EXPECT_GT(hyl_live_json(), before);
    emu().ResponseFree(task);
    EXPECT_GT(hyl_live_json(), before);
    emu().TaskFree(task);
    EXPECT_EQ(hyl_live_json(), before);

    // Values handed over with requests are released by the emulator.
    hy_uuid hopper{};
    ASSERT_EQ(hy_uuid_set_from_string(&hopper, kDuoHopper), 0);
    const char* ticket_task = emu().MatchmakingTicket(Handle(1), &hopper, nullptr, nullptr, 0,
                                                      hy_json_new_object(), hy_json_new_array());
    const char* start = emu().MatchmakingStart(ticket.c_str(), hy_json_new_object());
    EXPECT_TRUE(HasLine("join_info: <json_object>"));
    emu().TaskFree(ticket_task);
    emu().TaskFree(start);
    EXPECT_EQ(hyl_live_json(), before);
}

}  // namespace
}  // namespace emulator_test
