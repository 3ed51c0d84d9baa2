// The matchmaker object, its configuration and its log and message channels.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "KRMatchmakingSystem.h"
#include "halyard.h"
#include "support/MatchmakerTestSupport.h"
#include "tasksystem/TaskManager.h"

namespace krmm_test {
namespace {

// The message part of a log line: everything after the sixth "] ".
std::string MessageOf(const std::string& line) {
    size_t pos = 0;
    for (int i = 0; i < 6; ++i) {
        pos = line.find(']', pos) + 1;
    }
    return line.substr(pos + 1);
}

class MatchmakerObjectTest : public MatchmakerTest {};

TEST_F(MatchmakerObjectTest, NewMatchmakerHasItsDefaults) {
    krmm_matchmaker* mm = krmm_create_matchmaking(nullptr, nullptr, 0);
    ASSERT_NE(mm, nullptr);
    EXPECT_STREQ(krmm_get_name(mm), "");
    EXPECT_EQ(krmm_is_idle(mm), 1);
    EXPECT_EQ(krmm_process(mm), 0);
    EXPECT_EQ(krmm_get_heartbeat_interval(mm), 17000u);
    EXPECT_EQ(krmm_get_matchmaking_timeout(mm), 10800000u);
    EXPECT_EQ(krmm_get_accept_timeout(mm), 20000u);
    EXPECT_EQ(krmm_get_start_timeout(mm), 20000u);
    EXPECT_EQ(krmm_get_error_recover_timeout(mm), 10000u);
    EXPECT_EQ(krmm_get_error_code(mm), 0);
    EXPECT_EQ(krmm_get_halyard_client(mm), nullptr);
    krmm_set_eror_recover_timeout(mm, 5000);
    EXPECT_EQ(krmm_get_error_recover_timeout(mm), 5000u);
    krmm_set_flags(mm, MMF_AUTO_ACCEPT);
    EXPECT_EQ(krmm_has_flags(mm, 0x300), 1);
    EXPECT_EQ(krmm_has_flags(mm, 0x200), 0);
    EXPECT_EQ(krmm_has_flags(mm, 0), 0);
    krmm_free_matchmaking(mm);
    krmm_free_matchmaking(nullptr);
    // Names keep 49 characters, the task manager's too.
    const std::string sixty(60, 'n');
    CreateMatchmaker(0xFF, sixty.c_str());
    EXPECT_EQ(std::string(krmm_get_name(mm_)), sixty.substr(0, 49));
    EXPECT_STREQ(Sys(mm_)->task_manager()->name(), sixty.substr(0, 49).c_str());
}

// The first and last name of each table and the values just outside.
TEST(NameTablesTest, KnownAndUnknownValues) {
    EXPECT_STREQ(krmm_matchmaking_state_to_str(0), "MMS_INIT");
    EXPECT_STREQ(krmm_matchmaking_state_to_str(14), "MMS_ERR_DECLINED");
    EXPECT_STREQ(krmm_matchmaking_state_to_str(15), "<unknown>");
    EXPECT_STREQ(krmm_matchmaking_state_to_str(-1), "<unknown>");
    EXPECT_STREQ(krmm_error_code_to_str(0), "<invalid error code>");
    EXPECT_STREQ(krmm_error_code_to_str(1), "MME_REQUEST_TICKET_FAILED");
    EXPECT_STREQ(krmm_error_code_to_str(21), "MME_REQUEST_TICKET_SERVER_ERROR");
    EXPECT_STREQ(krmm_error_code_to_str(22), "<invalid error code>");
    EXPECT_STREQ(krmm_log_type_to_str(1), "NFO");
    EXPECT_STREQ(krmm_log_type_to_str(3), "UKN");
    EXPECT_STREQ(krmm_log_type_to_str(128), "HYE");
    EXPECT_STREQ(krmm_log_type_to_str(2048), "TSE");
    EXPECT_STREQ(krmm_log_type_to_str(4096), "UKN");
}

TEST_F(MatchmakerObjectTest, CreatingAMatchmakerSwitchesTheEmulatorOff) {
    CreateMatchmaker();
    krmm_set_emulator(mm_, 1);
    EXPECT_EQ(hye_emulator_is_enabled(), 1);
    EXPECT_TRUE(rec_.HasLine("SetEmulator: Enabled Halyard emulator"));
    // With the emulator on nothing reaches the client library.
    EXPECT_EQ(krmm_mark_identity_active(mm_, 7), nullptr);
    EXPECT_EQ(hyl_journal_count_kind(client_, HYL_MARK_IDENTITY_ACTIVE), 0u);
    krmm_matchmaker* second = krmm_create_matchmaking(nullptr, "second", 0);
    EXPECT_EQ(hye_emulator_is_enabled(), 0);
    krmm_free_matchmaking(second);
    // Off again: the call is passed through and its task handed to the game.
    hy_task* task = krmm_mark_identity_active(mm_, 7);
    ASSERT_NE(task, nullptr);
    ASSERT_EQ(hyl_journal_count_kind(client_, HYL_MARK_IDENTITY_ACTIVE), 1u);
    EXPECT_EQ(hyl_journal_get(client_, 0)->argument, 7);
    hye_task_free(task);
    EXPECT_STREQ(krmm_client_get_identity_id(mm_), hy_client_get_identity_id(client_));
}

TEST_F(MatchmakerObjectTest, LogLineFormatAndFilter) {
    CreateMatchmaker(MMF_LOG_INFO | MMF_LOG_DEBUG, "S");
    Sys(mm_)->TriggerMsg("state", 3, nullptr);
    ASSERT_EQ(rec_.line_types, std::vector<int32_t>{KRMM_LOG_DBG});
    // Stamp, matchmaker seconds, pass count, name, type, match, message.
    const std::regex form(
        R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\]\[\d+\.\d{3}\]\[\d{2,}\]\[S\]\[DBG\]\[IDLE\] TriggerMsg 'state':3)");
    EXPECT_TRUE(std::regex_match(rec_.lines[0], form)) << rec_.lines[0];
    ASSERT_EQ(rec_.messages.size(), 1u);
    EXPECT_EQ(rec_.messages[0].name, "state");
    EXPECT_FALSE(rec_.messages[0].has_text);

    // Short messages are padded to eight characters; seconds come from the
    // matchmaker's own clock.
    rec_.Clear();
    AdvanceClock(1500);
    Sys(mm_)->Log(KRMM_LOG_NFO, "%s", "abc");
    ASSERT_EQ(rec_.lines.size(), 1u);
    EXPECT_NE(rec_.lines[0].find("][1.500]["), std::string::npos) << rec_.lines[0];
    EXPECT_EQ(MessageOf(rec_.lines[0]), "     abc");

    // Only the enabled types pass.
    krmm_set_flags(mm_, MMF_LOG_INFO);
    rec_.Clear();
    Sys(mm_)->Log(KRMM_LOG_WRN, "dropped");
    Sys(mm_)->Log(KRMM_LOG_NFO, "kept line");
    Sys(mm_)->Log(3, "never: not a type");
    ASSERT_EQ(rec_.lines.size(), 1u);
    EXPECT_EQ(MessageOf(rec_.lines[0]), "kept line");

    // Long messages are cut to a 2047-character line.
    Sys(mm_)->Log(KRMM_LOG_NFO, "%s", std::string(3000, 'x').c_str());
    ASSERT_EQ(rec_.lines.size(), 2u);
    EXPECT_EQ(rec_.lines[1].size(), 2047u);
    EXPECT_EQ(rec_.lines[1].back(), 'x');

    // An error is logged by name at its own type.
    rec_.Clear();
    Sys(mm_)->TriggerError(MME_NOT_MATCHMAKING, nullptr);
    EXPECT_TRUE(rec_.lines.empty());
    krmm_set_flags(mm_, MMF_LOG_ERROR);
    Sys(mm_)->TriggerError(MME_NOT_MATCHMAKING, nullptr);
    ASSERT_EQ(rec_.line_types, std::vector<int32_t>{KRMM_LOG_ERR});
    EXPECT_EQ(MessageOf(rec_.lines[0]), "MME_NOT_MATCHMAKING");
    EXPECT_EQ(krmm_get_error_code(mm_), MME_NOT_MATCHMAKING);

    // Flags 0: no line, but messages still arrive, the error's text with it.
    krmm_set_flags(mm_, 0);
    rec_.Clear();
    Sys(mm_)->TriggerError(MME_CREATE_PROOF_FAILED, "{\"body\":1}");
    EXPECT_TRUE(rec_.lines.empty());
    ASSERT_EQ(rec_.messages.size(), 1u);
    EXPECT_EQ(rec_.messages[0].name, "error");
    EXPECT_EQ(rec_.messages[0].value, MME_CREATE_PROOF_FAILED);
    EXPECT_EQ(rec_.messages[0].text, "{\"body\":1}");
}

// Null callbacks are refused at registration rather than called later.
TEST_F(MatchmakerObjectTest, CallbacksRunNewestFirst) {
    CreateMatchmaker(MMF_LOG_INFO | MMF_LOG_WARNING);
    std::string order;
    struct Tag {
        std::string* order;
        char letter;
    };
    Tag a{&order, 'A'};
    Tag b{&order, 'B'};
    auto on_log = [](krmm_matchmaker*, int32_t, const char*, void* user) {
        auto* tag = static_cast<Tag*>(user);
        tag->order->push_back(tag->letter);
    };
    auto on_msg = [](krmm_matchmaker*, const char*, int32_t, const char*, void* user) {
        auto* tag = static_cast<Tag*>(user);
        tag->order->push_back(static_cast<char>(tag->letter + 32));
    };
    EXPECT_NE(krmm_register_log_callback(mm_, on_log, &a), nullptr);
    EXPECT_NE(krmm_register_log_callback(mm_, on_log, &b), nullptr);
    krmm_register_msg_callback(mm_, on_msg, &a);
    krmm_register_msg_callback(mm_, on_msg, &b);
    EXPECT_EQ(krmm_register_log_callback(mm_, nullptr, &a), nullptr);
    EXPECT_EQ(krmm_register_msg_callback(mm_, nullptr, &a), nullptr);
    EXPECT_TRUE(rec_.HasLine("RegisterLogCallback: a null callback was refused"));
    EXPECT_TRUE(rec_.HasLine("RegisterMsgCallback: a null callback was refused"));
    order.clear();
    Sys(mm_)->Log(KRMM_LOG_NFO, "one");
    Sys(mm_)->TriggerMsg("idle", 1, nullptr);
    // The fixture's recorder was registered first, so it comes last.
    EXPECT_EQ(order, "BAba");
}

// The line of a refused registration may reach a callback that frees the
// matchmaker: nothing may be touched after it was freed (the sanitizer build
// and valgrind check).
TEST_F(MatchmakerObjectTest, ARefusedRegistrationsLineMayFreeTheMatchmaker) {
    for (bool log : {true, false}) {
        krmm_matchmaker* mm = krmm_create_matchmaking(client_, "freed", MMF_LOG_WARNING);
        int lines = 0;
        auto free_on_line = [](krmm_matchmaker* matchmaker, int32_t, const char*, void* user) {
            ++*static_cast<int*>(user);
            krmm_free_matchmaking(matchmaker);
        };
        krmm_register_log_callback(mm, free_on_line, &lines);
        EXPECT_EQ(log ? krmm_register_log_callback(mm, nullptr, nullptr)
                      : krmm_register_msg_callback(mm, nullptr, nullptr),
                  nullptr);
        EXPECT_EQ(lines, 1);
    }
}

TEST_F(MatchmakerObjectTest, ClientAndTaskSystemLinesAreForwardedWithTheirTypes) {
    CreateMatchmaker(MMF_LOG_HY_ERRORS | MMF_LOG_INFO | MMF_LOG_TS_ERRORS | MMF_LOG_TS_INFO);
    const struct {
        int32_t level;
        int32_t type;  // 0: filtered out
    } cases[] = {{50, KRMM_LOG_HYW}, {100, KRMM_LOG_HYE}, {20, KRMM_LOG_NFO}, {0, 0}, {10, 0}};
    for (const auto& c : cases) {
        rec_.Clear();
        hyl_push_log(client_, c.level, "first", "second");
        EXPECT_EQ(rec_.line_types, c.type ? std::vector<int32_t>{c.type} : std::vector<int32_t>{})
            << c.level;
        for (const std::string& line : rec_.lines) {
            EXPECT_EQ(MessageOf(line), "[first] second");
        }
    }
    rec_.Clear();
    KRTaskSystem::TaskManager* manager = Sys(mm_)->task_manager();
    manager->Log(KRTaskSystem::TASK_LOG_WARNING, "careful");
    manager->Log(KRTaskSystem::TASK_LOG_INFO, "note");
    ASSERT_EQ(rec_.line_types, (std::vector<int32_t>{KRMM_LOG_TSW, KRMM_LOG_TSN}));
    EXPECT_EQ(MessageOf(rec_.lines[0]), "[WRN] careful");
    EXPECT_EQ(MessageOf(rec_.lines[1]), "[NFO] note");
}

TEST_F(MatchmakerObjectTest, CleanupIsFinalForTheClientRegistrations) {
    CreateMatchmaker(MMF_LOG_HY_ERRORS);
    hyl_push_log(client_, 100, "a", "b");
    ASSERT_EQ(rec_.lines.size(), 1u);
    krmm_cleanup(mm_);
    EXPECT_EQ(Sys(mm_)->task_manager(), nullptr);
    krmm_restart(mm_);
    EXPECT_NE(Sys(mm_)->task_manager(), nullptr);
    EXPECT_EQ(krmm_process(mm_), 0);

    // Clean-up dropped the game's callbacks; a fresh one proves that the client
    // no longer reaches the matchmaker either (a restart does not re-register).
    rec_.Clear();
    rec_.Attach(mm_);
    hyl_push_log(client_, 100, "a", "b");
    EXPECT_EQ(hyl_push_message(client_, "", "matchmaking_update", "{}"), 0);
    EXPECT_TRUE(rec_.lines.empty());
    EXPECT_TRUE(rec_.messages.empty());
    Sys(mm_)->Log(KRMM_LOG_HYE, "still listening");
    EXPECT_EQ(rec_.lines.size(), 1u);
}

}  // namespace
}  // namespace krmm_test
