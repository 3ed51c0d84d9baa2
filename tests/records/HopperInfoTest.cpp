#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "RecordsTestUtil.h"
#include "records/HopperInfo.h"
#include "records/RecordJson.h"

namespace {

using namespace KRMatchmakingSystem;
using namespace records_test;

std::string HopperWith(const char* key, const char* value) {
    return ObjectText(With(HopperMembers(), key, value));
}

using HopperInfoTest = RecordParseTest<HopperInfo, ParseHopperInfo>;

// The dump test reads every field, true flags included, back in list order.
// Only JSON true sets a flag; a null handle fails with the record cleared.
TEST_F(HopperInfoTest, OnlyTrueSetsAFlagAnEmptyRuleIsInvalidAndNullClears) {
    for (const char* value : {"false", "1", "\"true\"", static_cast<const char*>(nullptr)}) {
        ASSERT_TRUE(Parse(
            ObjectText(With(With(HopperMembers(), "is_enabled", value), "allow_groups", value))));
        EXPECT_FALSE(record_.is_enabled || record_.allow_groups) << (value ? value : "(absent)");
    }
    // A rule is a serialized JSON text, never empty.
    ASSERT_TRUE(Parse(HopperWith("rules", "[1]")));
    record_.rules.front().Clear();
    EXPECT_FALSE(record_.IsValid());
    EXPECT_FALSE(ParseHopperInfo(nullptr, &record_));
    EXPECT_TRUE(record_.id.empty() && record_.team_fractions.empty() && record_.rules.empty());
    EXPECT_FALSE(record_.is_enabled);
}

TEST_F(HopperInfoTest, FractionsBeyondFloatRangeBecomeInfinities) {
    ASSERT_TRUE(Parse(HopperWith("teams", "[1e300]")));
    EXPECT_TRUE(std::isinf(record_.team_fractions.front()));
    EXPECT_GT(record_.team_fractions.front(), 0.0f);

    EXPECT_FALSE(Parse(HopperWith("teams", "[0.5,-1e300]")));
    EXPECT_TRUE(std::isinf(record_.team_fractions.front()));
    EXPECT_LT(record_.team_fractions.front(), 0.0f);
}

// One row per rule, with both sides of each boundary.
TEST_F(HopperInfoTest, ParseResultFollowsTheRules) {
    const int over = kMaxRecordListElements + 1;
    CheckRules({
        {"well formed without rules", HopperWith("rules", nullptr), true},
        {"id short", HopperWith("_id", Quoted(Id('4').substr(1)).c_str()), false},
        {"expansion time negative", HopperWith("expansion_time", "-1"), false},
        {"expansion wait negative", HopperWith("expansion_wait", "-1"), false},
        {"maximum wait negative", HopperWith("maximum_wait_time", "-1"), false},
        {"times zero",
         ObjectText(With(With(With(HopperMembers(), "expansion_time", "0"), "expansion_wait", "0"),
                         "maximum_wait_time", nullptr)),
         true},
        {"players zero", HopperWith("players", "0"), false},
        {"teams empty", HopperWith("teams", "[]"), false},
        {"teams as object", HopperWith("teams", R"({"a":0.5})"), false},
        {"negative fraction", HopperWith("teams", "[0.0,-0.1]"), false},
        {"fractions zero and above one", HopperWith("teams", "[0.0,2.0]"), true},
        {"teams over the limit", HopperWith("teams", Repeated("0.5", over).c_str()), false},
        {"rules of every kind", HopperWith("rules", R"([null,false,"",{},[]])"), true},
        {"rules over the limit", HopperWith("rules", Repeated("1", over).c_str()), false},
    });
}

}  // namespace
