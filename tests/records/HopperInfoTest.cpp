#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "RecordsTestUtil.h"
#include "records/HopperInfo.h"
#include "records/RecordJson.h"

namespace {

using namespace KRMatchmakingSystem;
using namespace records_test;

const std::string kHopperId = Id('4');

Members HopperMembers() {
    return {{"_id", Quoted(kHopperId)},   {"name", "\"ranked duel\""},
            {"is_enabled", "true"},       {"allow_groups", "true"},
            {"expansion_time", "30"},     {"expansion_wait", "10"},
            {"maximum_wait_time", "600"}, {"players", "2"},
            {"teams", "[0.25,0.75]"},     {"unknown_member", "[1,2,3]"}};
}

std::string HopperWith(const char* key, const char* value) {
    return ObjectText(With(HopperMembers(), key, value));
}

std::vector<float> Fractions(const HopperInfo& info) {
    return std::vector<float>(info.team_fractions.begin(), info.team_fractions.end());
}

using HopperInfoTest = RecordParseTest<HopperInfo, ParseHopperInfo>;

void ExpectFullHopper(const HopperInfo& info, const std::vector<std::string>& rules) {
    EXPECT_STREQ(info.id.c_str(), kHopperId.c_str());
    EXPECT_STREQ(info.name.c_str(), "ranked duel");
    EXPECT_TRUE(info.is_enabled);
    EXPECT_TRUE(info.allow_groups);
    EXPECT_EQ(info.expansion_time, 30);
    EXPECT_EQ(info.expansion_wait, 10);
    EXPECT_EQ(info.maximum_wait_time, 600);
    EXPECT_EQ(info.players, 2);
    EXPECT_EQ(info.team_count, 2);
    EXPECT_EQ(Fractions(info), (std::vector<float>{0.75f, 0.25f}));
    EXPECT_EQ(info.rule_count, static_cast<int32_t>(rules.size()));
    EXPECT_EQ(Texts(info.rules), rules);
}

TEST_F(HopperInfoTest, ParsesEveryFieldWithListsNewestFirst) {
    const std::string rule_a = R"({"type":"skill","max":200})";
    const std::string rule_b = R"(["region","eu"])";
    ASSERT_TRUE(Parse(HopperWith("rules", ArrayText({rule_a, rule_b, "7"}).c_str())));
    ExpectFullHopper(record_, {"7", Serialized(rule_b), Serialized(rule_a)});
}

TEST_F(HopperInfoTest, CopiesAreDeepAndKeepTheSourceOrder) {
    ASSERT_TRUE(Parse(HopperWith("rules", R"(["r1","r2"])")));
    const std::vector<std::string> rules = {Serialized("\"r2\""), Serialized("\"r1\"")};
    HopperInfo constructed(record_);
    HopperInfo assigned;
    {
        Json other(HopperWith("teams", "[0.1,0.2,0.3,0.4]"));
        ASSERT_TRUE(ParseHopperInfo(other.get(), &assigned));
    }
    assigned = record_;
    record_.Clear();
    ExpectFullHopper(constructed, rules);
    ExpectFullHopper(assigned, rules);

    HopperInfo second(assigned);
    assigned.Clear();
    ExpectFullHopper(second, rules);
}

TEST_F(HopperInfoTest, NullHandleFailsAndClearsThePreviousRecord) {
    ASSERT_TRUE(Parse(HopperWith("rules", "[1]")));
    EXPECT_FALSE(ParseHopperInfo(nullptr, &record_));
    EXPECT_TRUE(record_.id.empty());
    EXPECT_TRUE(record_.name.empty());
    EXPECT_FALSE(record_.is_enabled);
    EXPECT_FALSE(record_.allow_groups);
    EXPECT_EQ(record_.players, 0);
    EXPECT_EQ(record_.team_count, 0);
    EXPECT_TRUE(record_.team_fractions.empty());
    EXPECT_EQ(record_.rule_count, 0);
    EXPECT_TRUE(record_.rules.empty());
}

TEST_F(HopperInfoTest, OnlyJsonTrueEnablesAFlag) {
    struct FlagCase {
        const char* value;
        bool expected;
    };
    const FlagCase cases[] = {{"true", true},      {"false", false}, {nullptr, false}, {"1", false},
                              {"\"true\"", false}, {"null", false},  {"[true]", false}};
    for (const FlagCase& c : cases) {
        SCOPED_TRACE(c.value ? c.value : "(absent)");
        Members members = With(HopperMembers(), "is_enabled", c.value);
        members = With(members, "allow_groups", c.value);
        ASSERT_TRUE(Parse(ObjectText(members)));
        EXPECT_EQ(record_.is_enabled, c.expected);
        EXPECT_EQ(record_.allow_groups, c.expected);
    }
}

TEST_F(HopperInfoTest, FractionsBeyondFloatRangeBecomeInfinities) {
    ASSERT_TRUE(Parse(HopperWith("teams", "[1e300]")));
    ASSERT_EQ(Fractions(record_).size(), 1u);
    EXPECT_TRUE(std::isinf(record_.team_fractions.front()));
    EXPECT_GT(record_.team_fractions.front(), 0.0f);

    EXPECT_FALSE(Parse(HopperWith("teams", "[0.5,-1e300]")));
    EXPECT_TRUE(std::isinf(record_.team_fractions.front()));
    EXPECT_LT(record_.team_fractions.front(), 0.0f);
}

std::vector<ValidityCase> ValidityCases() {
    const int oversized = kMaxRecordListElements + 1;
    const std::string many_teams(ArrayText(std::vector<std::string>(oversized, "0.5")));
    const std::string many_rules(ArrayText(std::vector<std::string>(oversized, "1")));
    return {
        {"WellFormedWithoutRules", HopperWith("rules", nullptr), true},
        {"IdShort", HopperWith("_id", Quoted(kHopperId.substr(1)).c_str()), false},
        {"IdAbsent", HopperWith("_id", nullptr), false},
        {"IdAsNumber", HopperWith("_id", "4"), false},
        {"ExpansionTimeNegative", HopperWith("expansion_time", "-1"), false},
        {"ExpansionWaitNegative", HopperWith("expansion_wait", "-1"), false},
        {"MaximumWaitNegative", HopperWith("maximum_wait_time", "-1"), false},
        {"TimesZero",
         ObjectText(With(With(With(HopperMembers(), "expansion_time", "0"), "expansion_wait", "0"),
                         "maximum_wait_time", nullptr)),
         true},
        {"PlayersZero", HopperWith("players", "0"), false},
        {"PlayersAbsent", HopperWith("players", nullptr), false},
        {"PlayersAsText", HopperWith("players", "\"2\""), false},
        {"TeamsEmpty", HopperWith("teams", "[]"), false},
        {"TeamsAbsent", HopperWith("teams", nullptr), false},
        {"TeamsAsObject", HopperWith("teams", R"({"a":0.5})"), false},
        {"TeamsNegativeFraction", HopperWith("teams", "[0.0,-0.1]"), false},
        {"TeamsZeroAndAboveOne", HopperWith("teams", "[0.0,2.0]"), true},
        {"TeamsOversized", HopperWith("teams", many_teams.c_str()), false},
        {"RulesEmpty", HopperWith("rules", "[]"), true},
        {"RulesOfEveryKind", HopperWith("rules", R"([null,false,"",{},[]])"), true},
        {"RulesOversized", HopperWith("rules", many_rules.c_str()), false},
        {"BodyIsArray", ArrayText({ObjectText(HopperMembers())}), false},
    };
}

using HopperValidityTest = RecordValidityTest<HopperInfo, ParseHopperInfo>;

TEST_P(HopperValidityTest, ParseResultFollowsTheRules) {
    CheckRow();
}

INSTANTIATE_TEST_SUITE_P(Rules, HopperValidityTest, ::testing::ValuesIn(ValidityCases()), CaseName);

TEST_F(HopperInfoTest, RulesMustBeTextAndListsMustMatchTheirCounts) {
    ASSERT_TRUE(Parse(HopperWith("rules", "[1,2]")));
    HopperInfo info = record_;
    info.rules.front().Clear();
    EXPECT_FALSE(info.IsValid());

    info = record_;
    info.rule_count = 3;
    EXPECT_FALSE(info.IsValid());

    info = record_;
    info.team_count = 1;
    EXPECT_FALSE(info.IsValid());

    info = record_;
    info.team_fractions.push_front(0.0f);
    EXPECT_FALSE(info.IsValid());
}

}  // namespace
