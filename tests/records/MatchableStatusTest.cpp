#include <gtest/gtest.h>

#include <string>

#include "RecordsTestUtil.h"
#include "records/MatchableStatus.h"
#include "records/RecordJson.h"

namespace {

using namespace KRMatchmakingSystem;
using namespace records_test;

std::string StatusWith(const char* key, const char* value) {
    return ObjectText(With(StatusMembers(), key, value));
}

std::string MatchWith(const char* key, const char* value) {
    return StatusWith("match", ObjectText(With(MatchMembers(), key, value)).c_str());
}

using MatchableStatusTest = RecordParseTest<MatchableStatus, ParseMatchableStatus>;

// A new update replaces the whole record: nothing of the previous one stays,
// and a null handle fails with the record cleared.
TEST_F(MatchableStatusTest, ReparsingNeverMixesTwoUpdates) {
    ASSERT_TRUE(Parse(ObjectText(StatusMembers())));
    Members bare = With(With(StatusMembers(), "match", nullptr), "group_members_joined", nullptr);
    ASSERT_TRUE(Parse(ObjectText(With(bare, "group_id", nullptr))));
    EXPECT_TRUE(record_.group_id.empty() && record_.group_members_joined.empty() &&
                record_.match.id.empty() && record_.match.params.empty() &&
                record_.match.teams.empty());

    EXPECT_FALSE(ParseMatchableStatus(nullptr, &record_));
    EXPECT_EQ(record_.seq, 0u);
    EXPECT_EQ(record_.state, HY_STATE_UNKNOWN);
}

TEST_F(MatchableStatusTest, EverySevenStateTextParsesAndNamesRoundTrip) {
    const char* const texts[] = {"initial_waiting", "matching", "matched",  "accepted",
                                 "match_started",   "expired",  "cancelled"};
    const char* const names[] = {"HY_INITIAL_WAITING", "HY_MATCHING", "HY_MATCHED",  "HY_ACCEPTED",
                                 "HY_MATCH_STARTED",   "HY_EXPIRED",  "HY_CANCELLED"};
    for (int32_t state = 0; state < 7; ++state) {
        SCOPED_TRACE(texts[state]);
        ASSERT_TRUE(Parse(StatusWith("state", Quoted(texts[state]).c_str())));
        EXPECT_EQ(record_.state, state);
        EXPECT_STREQ(MatchableStateName(state), names[state]);
        EXPECT_STREQ(MatchableStateJsonText(state), texts[state]);
    }
    for (int32_t other : {7, -1}) {
        EXPECT_STREQ(MatchableStateName(other), "<unknown>");
        EXPECT_EQ(MatchableStateJsonText(other), nullptr);
    }
}

// A "state" that names none of the seven stops the parse before the group
// and the match are read.
TEST_F(MatchableStatusTest, UnknownStateFailsAtOnceLeavingTheRestCleared) {
    for (const char* state :
         {"\"Matched\"", "\"matched \"", "2", static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(state ? state : "(absent)");
        EXPECT_FALSE(Parse(StatusWith("state", state)));
        EXPECT_EQ(record_.state, HY_STATE_UNKNOWN);
        EXPECT_EQ(record_.seq, 5u);  // read before the state
        EXPECT_EQ(record_.group_size, 0);
        EXPECT_TRUE(record_.group_members_joined.empty() && record_.match.teams.empty());
    }
}

TEST_F(MatchableStatusTest, MatchTeamsSkipEmptyArraysAndToleratePartialUsers) {
    const std::string bare_user = ObjectText({{"identity_id", Quoted(kU1)}});
    const Members match =
        With(With(MatchMembers(), "teams", ArrayText({"[]", ArrayText({bare_user}), "{}"}).c_str()),
             "join_info", nullptr);
    ASSERT_TRUE(Parse(StatusWith("match", ObjectText(match).c_str())));
    const MatchInfo& info = record_.match;
    EXPECT_EQ(info.team_count, 1);
    EXPECT_EQ(info.user_count, 1);
    // Counts agree with the lists in every valid record (the fuzz corpus test).
    const MatchUser& user = info.teams.front().members.front();
    EXPECT_STREQ(user.identity_id.c_str(), kU1.c_str());
    EXPECT_TRUE(user.attributes.empty() && user.values.empty() && info.join_info.empty());
    EXPECT_EQ(user.bayesian_rating, 0.0);
}

// One row per rule, with both sides of each boundary.
TEST_F(MatchableStatusTest, ParseResultFollowsTheRules) {
    const std::string short_id = Quoted(kA.substr(1));
    const std::string long_id = Quoted(kA + "0");
    const std::string user = ObjectText({{"identity_id", Quoted(kU1)}});
    const int limit = kMaxRecordListElements;
    CheckRules({
        {"well formed", ObjectText(StatusMembers()), true},
        {"seq zero", StatusWith("seq", "0"), false},
        {"matchable id short", StatusWith("matchable_id", short_id.c_str()), false},
        {"matchable id long", StatusWith("matchable_id", long_id.c_str()), false},
        {"hopper id absent", StatusWith("hopper_id", nullptr), false},
        {"group size negative", StatusWith("group_size", "-1"), false},
        {"group size above joined", StatusWith("group_size", "9"), true},
        {"joined short id",
         StatusWith("group_members_joined", ArrayText({Quoted(kA), short_id}).c_str()), false},
        {"joined at the limit",
         StatusWith("group_members_joined", Repeated(Quoted(kA), limit).c_str()), true},
        {"joined over the limit",
         StatusWith("group_members_joined", Repeated(Quoted(kA), limit + 1).c_str()), false},
        {"match id empty", MatchWith("id", "\"\""), true},
        {"match id short", MatchWith("id", short_id.c_str()), false},
        {"accepted null element", MatchWith("accepted", "[null]"), false},
        {"accepted over the limit", MatchWith("accepted", Repeated(Quoted(kA), limit + 1).c_str()),
         false},
        {"user without identity", MatchWith("teams", R"([[{"group_id":"g"}]])"), false},
        {"user short identity",
         MatchWith("teams",
                   ArrayText({ArrayText({ObjectText({{"identity_id", short_id}})})}).c_str()),
         false},
        {"team over the limit", MatchWith("teams", ArrayText({Repeated(user, limit + 1)}).c_str()),
         false},
        {"teams over the limit", MatchWith("teams", Repeated("[]", limit + 1).c_str()), false},
        {"teams all empty", MatchWith("teams", "[[],[]]"), true},
    });
}

}  // namespace
