#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KRMatchmakingSystem.h"
#include "RecordsTestUtil.h"
#include "matchmaking/MatchmakingSystem.h"
#include "records/HopperInfo.h"
#include "records/MatchableStatus.h"

namespace {

using namespace KRMatchmakingSystem;
using namespace records_test;

// A matchmaker that logs NFO lines only, with the message part of every line
// it delivers.
class RecordDumpTest : public JsonLeakTest {
protected:
    void SetUp() override {
        JsonLeakTest::SetUp();
        handle_ = krmm_create_matchmaking(nullptr, "t", MMF_LOG_INFO);
        ASSERT_NE(handle_, nullptr);
        ASSERT_NE(krmm_register_log_callback(handle_, &RecordDumpTest::OnLog, this), nullptr);
    }
    void TearDown() override {
        krmm_free_matchmaking(handle_);
        JsonLeakTest::TearDown();
    }

    MatchmakingSystem* system() { return MatchmakingSystem::FromHandle(handle_); }

    static void OnLog(krmm_matchmaker*, int32_t type, const char* line, void* user_data) {
        auto* self = static_cast<RecordDumpTest*>(user_data);
        EXPECT_EQ(type, KRMM_LOG_NFO);
        // The message follows the match field; short messages are padded on
        // the left to the line format's minimum width.
        const std::string text = line;
        const std::string field = "[IDLE] ";
        const size_t at = text.find(field);
        ASSERT_NE(at, std::string::npos) << text;
        std::string message = text.substr(at + field.size());
        message.erase(0, message.find_first_not_of(' '));
        self->messages_.push_back(message);
    }

    krmm_matchmaker* handle_ = nullptr;
    std::vector<std::string> messages_;
};

std::string User(const std::string& identity, const char* group) {
    return ObjectText({{"identity_id", Quoted(identity)},
                       {"group_id", Quoted(group)},
                       {"attributes", R"({"lvl":3})"},
                       {"values", R"({"bayesian_rating":1})"}});
}

// Every field and list of the status, two teams of users included.
std::string StatusBody() {
    return ObjectText(
        {{"seq", "4294967295"},
         {"matchable_id", Quoted(kMatchable)},
         {"hopper_id", Quoted(kHopper)},
         {"estimated_hopper_size", "-2"},
         {"group_id", "\"grp\""},
         {"state", "\"accepted\""},
         {"group_size", "3"},
         {"group_members_joined", ArrayText({Quoted(kA), Quoted(kB)})},
         {"match", ObjectText({{"id", Quoted(kMatchId)},
                               {"params", R"({"mode":"duel"})"},
                               {"join_info", R"("srv:1")"},
                               {"accepted", ArrayText({Quoted(kU1), Quoted(kU3)})},
                               {"teams", ArrayText({ArrayText({User(kU1, "g1"), User(kU2, "")}),
                                                    ArrayText({User(kU3, "g3")})})}})}});
}

TEST_F(RecordDumpTest, StatusDumpWritesEveryLineInListOrder) {
    Json json(StatusBody());
    MatchableStatus status;
    // "seq" 4294967295 is truncated to 32 bits by the client library: -1.
    ASSERT_TRUE(ParseMatchableStatus(json.get(), &status));

    DumpMatchableStatus(system(), status);

    const std::string attributes = Serialized(R"({"lvl":3})");
    const std::string values = Serialized(R"({"bayesian_rating":1})");
    std::vector<std::string> expected = {
        "=== Matchmaking ===",
        "Sequence: 4294967295",
        "Matchable ID: '" + kMatchable + "'",
        "Hopper ID: '" + kHopper + "'",
        "State: HY_ACCEPTED",
        "Estimated hopper size: 4294967294",
        "Group ID: 'grp'",
        "Group members: 3",
        "Group members joined: 2",
        "\tID: '" + kB + "'",
        "\tID: '" + kA + "'",
        "=== Match ===",
        "Id: '" + kMatchId + "'",
        "Join Info: '" + Serialized(R"("srv:1")") + "'",
        "Params: '" + Serialized(R"({"mode":"duel"})") + "'",
        "Num Accepted: 2",
        "\tID: '" + kU3 + "'",
        "\tID: '" + kU1 + "'",
        "=== Teams ===",
        "\t= Team 0 =",
    };
    auto add_user = [&](const std::string& id, const std::string& group) {
        expected.push_back("\tIdentity ID: '" + id + "'");
        expected.push_back("\tGroup ID: '" + group + "'");
        expected.push_back("\tAttributes: '" + attributes + "'");
        expected.push_back("\tValues: '" + values + "'");
    };
    add_user(kU3, "g3");
    expected.push_back("\t= Team 1 =");
    add_user(kU2, "");
    add_user(kU1, "g1");
    EXPECT_EQ(messages_, expected);
    EXPECT_EQ(status.match.teams.front().members.front().bayesian_rating, 1.0);  // not dumped
}

// Copies are deep and keep their source's order, also when assigned over a
// record that holds another update.
TEST_F(RecordDumpTest, CopiesDumpAsTheirSourceAfterItIsCleared) {
    Json json(StatusBody());
    Json other(ObjectText({{"seq", "1"},
                           {"matchable_id", Quoted(kA)},
                           {"hopper_id", Quoted(kHopper)},
                           {"state", "\"matching\""},
                           {"group_members_joined", ArrayText({Quoted(kU1)})}}));
    MatchableStatus status;
    MatchableStatus assigned;
    ASSERT_TRUE(ParseMatchableStatus(json.get(), &status));
    ASSERT_TRUE(ParseMatchableStatus(other.get(), &assigned));
    DumpMatchableStatus(system(), status);
    const std::vector<std::string> original = messages_;
    MatchableStatus constructed(status);
    assigned = status;
    status.Clear();
    for (const MatchableStatus* copy : {&constructed, &assigned}) {
        messages_.clear();
        DumpMatchableStatus(system(), *copy);
        EXPECT_EQ(messages_, original);
    }
}

// Empty lists say so, in the status and in the hopper dump.
TEST_F(RecordDumpTest, EmptyRecordsSayNoTeamsAndNoRules) {
    DumpMatchableStatus(system(), MatchableStatus());
    ASSERT_GE(messages_.size(), 5u);
    EXPECT_EQ(messages_[4], "State: <unknown>");
    EXPECT_EQ(messages_.back(), "\tNo teams");

    messages_.clear();
    DumpHopperInfo(system(), HopperInfo());
    ASSERT_GE(messages_.size(), 4u);
    const std::vector<std::string> tail(messages_.end() - 4, messages_.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"=== Teams ===", "\tNo teams",
                                              "=== Rules ===", "\tNo rules"}));
}

TEST_F(RecordDumpTest, HopperDumpListsFractionsAndRulesNewestFirst) {
    const std::string id = Id('7');
    Json json(ObjectText({{"_id", Quoted(id)},
                          {"name", "\"duel\""},
                          {"is_enabled", "true"},
                          {"expansion_time", "5"},
                          {"expansion_wait", "6"},
                          {"maximum_wait_time", "70"},
                          {"players", "2"},
                          {"teams", "[0.5,0.25]"},
                          {"rules", R"([{"k":1},"x"])"}}));
    HopperInfo info;
    ASSERT_TRUE(ParseHopperInfo(json.get(), &info));
    DumpHopperInfo(system(), info);
    const std::vector<std::string> expected = {
        "=== Hopper Info ===",
        "Hopper ID: '" + id + "'",
        "Hopper name: 'duel'",
        "Enabled: true",
        "Allow groups: false",
        "Expansion time: 5",
        "Expansion wait: 6",
        "Maximum wait time: 70",
        "Num players: 2",
        "Num teams: 2",
        "=== Teams ===",
        "\tTeam 0: Fraction: 0.250000",
        "\tTeam 1: Fraction: 0.500000",
        "=== Rules ===",
        "\t= Rule 0 =",
        "\tRule: '" + Serialized("\"x\"") + "'",
        "\t= Rule 1 =",
        "\tRule: '" + Serialized(R"({"k":1})") + "'",
    };
    EXPECT_EQ(messages_, expected);
}

}  // namespace
