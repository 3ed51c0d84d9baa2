#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KRMatchmakingSystem.h"
#include "RecordsTestUtil.h"
#include "matchmaking/MatchmakingSystem.h"
#include "records/HopperInfo.h"
#include "records/MatchableStatus.h"
#include "support/MatchmakerTestSupport.h"

namespace {

using namespace KRMatchmakingSystem;
using namespace records_test;

// A matchmaker that logs NFO lines only.
class RecordDumpTest : public krmm_test::MatchmakerTest {
protected:
    void SetUp() override {
        MatchmakerTest::SetUp();
        CreateMatchmaker(MMF_LOG_INFO, "t");
        rec_.Clear();
    }

    MatchmakingSystem* system() { return krmm_test::Sys(mm_); }

    // The message part of every line delivered since the last Clear.
    std::vector<std::string> Messages() const {
        std::vector<std::string> messages;
        for (const std::string& line : rec_.lines) {
            // The message follows the match field; short messages are padded
            // on the left to the line format's minimum width.
            const size_t at = line.find("[IDLE] ");
            std::string message = at != std::string::npos ? line.substr(at + 7) : "<" + line + ">";
            messages.push_back(message.erase(0, message.find_first_not_of(' ')));
        }
        return messages;
    }
};

// Every field and list of the status, with numbers past the signed range.
// Copies are deep and keep their source's order, also when assigned over a
// record that holds another update (here one without a match).
TEST_F(RecordDumpTest, StatusAndItsCopiesDumpEveryLineInListOrder) {
    Json json(ObjectText(
        With(With(StatusMembers(), "seq", "4294967295"), "estimated_hopper_size", "-2")));
    Json other(ObjectText(With(With(StatusMembers(), "seq", "1"), "match", nullptr)));
    MatchableStatus status;
    MatchableStatus assigned;
    ASSERT_TRUE(ParseMatchableStatus(other.get(), &assigned));
    DumpMatchableStatus(system(), assigned);
    EXPECT_EQ(Messages().back(), "\tNo teams");
    rec_.Clear();
    // "seq" 4294967295 is truncated to 32 bits by the client library: -1.
    ASSERT_TRUE(ParseMatchableStatus(json.get(), &status));

    DumpMatchableStatus(system(), status);

    std::vector<std::string> expected = {
        "=== Matchmaking ===",
        "Sequence: 4294967295",
        "Matchable ID: '" + kMatchable + "'",
        "Hopper ID: '" + kHopper + "'",
        "State: HY_MATCHED",
        "Estimated hopper size: 4294967294",
        "Group ID: 'grp'",
        "Group members: 2",
        "Group members joined: 2",
        "\tID: '" + kB + "'",
        "\tID: '" + kA + "'",
        "=== Match ===",
        "Id: '" + kMatchId + "'",
        "Join Info: '" + Serialized(R"({"server":"s1"})") + "'",
        "Params: '" + Serialized(R"({"mode":"duel"})") + "'",
        "Num Accepted: 2",
        "\tID: '" + kB + "'",
        "\tID: '" + kA + "'",
        "=== Teams ===",
        "\t= Team 0 =",
    };
    auto add_user = [&](const std::string& id, const std::string& group, double rating) {
        expected.push_back("\tIdentity ID: '" + id + "'");
        expected.push_back("\tGroup ID: '" + group + "'");
        expected.push_back("\tAttributes: '" +
                           Serialized(ObjectText({{"name", Quoted(id.substr(0, 4))}})) + "'");
        expected.push_back("\tValues: '" +
                           Serialized(ObjectText({{"bayesian_rating", std::to_string(rating)}})) +
                           "'");
    };
    add_user(kU3, "g3", 3.5);
    expected.push_back("\t= Team 1 =");
    add_user(kU2, "g2", 2.5);
    add_user(kU1, "g1", 1.5);
    EXPECT_EQ(Messages(), expected);
    EXPECT_EQ(rec_.line_types, std::vector<int32_t>(expected.size(), KRMM_LOG_NFO));
    EXPECT_EQ(status.match.teams.front().members.front().bayesian_rating, 3.5);  // not dumped
    MatchableStatus constructed(status);
    assigned = status;
    status.Clear();
    for (const MatchableStatus* copy : {&constructed, &assigned}) {
        rec_.Clear();
        DumpMatchableStatus(system(), *copy);
        EXPECT_EQ(Messages(), expected);
    }
}

// Fractions and rules are listed newest first; empty lists say so.
TEST_F(RecordDumpTest, HopperDumpListsFractionsAndRulesNewestFirstOrSaysThereAreNone) {
    Json json(ObjectText(HopperMembers()));
    HopperInfo info;
    ASSERT_TRUE(ParseHopperInfo(json.get(), &info));
    DumpHopperInfo(system(), info);
    const std::vector<std::string> expected = {
        "=== Hopper Info ===",
        "Hopper ID: '" + Id('4') + "'",
        "Hopper name: 'ranked duel'",
        "Enabled: true",
        "Allow groups: true",
        "Expansion time: 30",
        "Expansion wait: 10",
        "Maximum wait time: 600",
        "Num players: 2",
        "Num teams: 2",
        "=== Teams ===",
        "\tTeam 0: Fraction: 0.750000",
        "\tTeam 1: Fraction: 0.250000",
        "=== Rules ===",
        "\t= Rule 0 =",
        "\tRule: '" + Serialized("\"r\"") + "'",
        "\t= Rule 1 =",
        "\tRule: '" + Serialized(R"({"k":1})") + "'",
    };
    EXPECT_EQ(Messages(), expected);
    rec_.Clear();
    DumpHopperInfo(system(), HopperInfo());
    const std::vector<std::string> messages = Messages();
    ASSERT_GE(messages.size(), 4u);
    EXPECT_EQ(
        std::vector<std::string>(messages.end() - 4, messages.end()),
        (std::vector<std::string>{"=== Teams ===", "\tNo teams", "=== Rules ===", "\tNo rules"}));
}

}  // namespace
