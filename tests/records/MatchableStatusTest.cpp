#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordsTestUtil.h"
#include "records/MatchableStatus.h"
#include "records/RecordJson.h"

namespace {

using namespace KRMatchmakingSystem;
using namespace records_test;

std::string UserText(const std::string& identity, const char* group, double rating) {
    return ObjectText({{"identity_id", Quoted(identity)},
                       {"group_id", Quoted(group)},
                       {"attributes", ObjectText({{"name", Quoted(identity.substr(0, 4))}})},
                       {"values", ObjectText({{"bayesian_rating", std::to_string(rating)}})}});
}

Members MatchMembers() {
    return {{"id", Quoted(kMatchId)},
            {"params", R"({"mode":"duel"})"},
            {"join_info", R"({"server":"s1"})"},
            {"accepted", ArrayText({Quoted(kA), Quoted(kB)})},
            {"teams", ArrayText({ArrayText({UserText(kU1, "g1", 1.5), UserText(kU2, "g2", 2.5)}),
                                 ArrayText({UserText(kU3, "g3", 3.5)})})}};
}

Members StatusMembers() {
    return {{"seq", "5"},
            {"matchable_id", Quoted(kMatchable)},
            {"hopper_id", Quoted(kHopper)},
            {"estimated_hopper_size", "12"},
            {"group_id", Quoted("grp")},
            {"state", Quoted("matched")},
            {"group_size", "2"},
            {"group_members_joined", ArrayText({Quoted(kA), Quoted(kB)})},
            {"match", ObjectText(MatchMembers())}};
}

std::string StatusWithMatch(const Members& match) {
    return ObjectText(With(StatusMembers(), "match", ObjectText(match).c_str()));
}

std::vector<std::string> TeamIds(const MatchTeam& team) {
    std::vector<std::string> ids;
    for (const MatchUser& user : team.members) {
        ids.emplace_back(user.identity_id.c_str());
    }
    return ids;
}

std::vector<std::vector<std::string>> Teams(const MatchInfo& match) {
    std::vector<std::vector<std::string>> teams;
    for (const MatchTeam& team : match.teams) {
        teams.push_back(TeamIds(team));
    }
    return teams;
}

// A status parsed from the full body, as the tests below expect it.
void ExpectFullStatus(const MatchableStatus& status) {
    EXPECT_EQ(status.seq, 5u);
    EXPECT_STREQ(status.matchable_id.c_str(), kMatchable.c_str());
    EXPECT_STREQ(status.hopper_id.c_str(), kHopper.c_str());
    EXPECT_EQ(status.state, HY_MATCHED);
    EXPECT_EQ(status.estimated_hopper_size, 12u);
    EXPECT_STREQ(status.group_id.c_str(), "grp");
    EXPECT_EQ(status.group_size, 2);
    EXPECT_EQ(status.group_members_joined_count, 2);
    EXPECT_EQ(Texts(status.group_members_joined), (std::vector<std::string>{kB, kA}));

    const MatchInfo& match = status.match;
    EXPECT_STREQ(match.id.c_str(), kMatchId.c_str());
    EXPECT_EQ(match.params.c_str(), Serialized(R"({"mode":"duel"})"));
    EXPECT_EQ(match.join_info.c_str(), Serialized(R"({"server":"s1"})"));
    EXPECT_EQ(match.accepted_count, 2);
    EXPECT_EQ(Texts(match.accepted), (std::vector<std::string>{kB, kA}));
    EXPECT_EQ(match.team_count, 2);
    EXPECT_EQ(match.user_count, 3);
    // The last team array of the JSON is team 0, its last user is member 0.
    EXPECT_EQ(Teams(match), (std::vector<std::vector<std::string>>{{kU3}, {kU2, kU1}}));
    ASSERT_FALSE(match.teams.empty());
    EXPECT_EQ(match.teams.front().member_count, 1);
    const MatchUser& u3 = match.teams.front().members.front();
    EXPECT_STREQ(u3.group_id.c_str(), "g3");
    EXPECT_EQ(u3.attributes.c_str(), Serialized(R"({"name":"eeee"})"));
    EXPECT_EQ(u3.values.c_str(), Serialized(R"({"bayesian_rating":3.500000})"));
    EXPECT_DOUBLE_EQ(u3.bayesian_rating, 3.5);
}

using MatchableStatusTest = RecordParseTest<MatchableStatus, ParseMatchableStatus>;

TEST_F(MatchableStatusTest, ParsesEveryFieldWithListsNewestFirst) {
    ASSERT_TRUE(Parse(ObjectText(StatusMembers())));
    ExpectFullStatus(record_);
}

TEST_F(MatchableStatusTest, NullHandleFailsAndClearsThePreviousRecord) {
    ASSERT_TRUE(Parse(ObjectText(StatusMembers())));
    EXPECT_FALSE(ParseMatchableStatus(nullptr, &record_));
    EXPECT_EQ(record_.seq, 0u);
    EXPECT_TRUE(record_.matchable_id.empty());
    EXPECT_EQ(record_.state, HY_STATE_UNKNOWN);
    EXPECT_TRUE(record_.group_members_joined.empty());
    EXPECT_TRUE(record_.match.id.empty());
    EXPECT_TRUE(record_.match.teams.empty());
    EXPECT_EQ(record_.match.team_count, 0);
}

TEST_F(MatchableStatusTest, ReparsingNeverMixesTwoUpdates) {
    ASSERT_TRUE(Parse(ObjectText(StatusMembers())));
    Members bare = With(With(StatusMembers(), "match", nullptr), "group_members_joined", nullptr);
    bare = With(bare, "group_id", nullptr);
    ASSERT_TRUE(Parse(ObjectText(bare)));
    EXPECT_TRUE(record_.group_id.empty());
    EXPECT_EQ(record_.group_members_joined_count, 0);
    EXPECT_TRUE(record_.group_members_joined.empty());
    EXPECT_TRUE(record_.match.id.empty());
    EXPECT_TRUE(record_.match.params.empty());
    EXPECT_EQ(record_.match.accepted_count, 0);
    EXPECT_EQ(record_.match.team_count, 0);
    EXPECT_EQ(record_.match.user_count, 0);
    EXPECT_TRUE(record_.match.teams.empty());
}

TEST_F(MatchableStatusTest, CopiesAreDeepAndKeepTheSourceOrder) {
    ASSERT_TRUE(Parse(ObjectText(StatusMembers())));
    MatchableStatus constructed(record_);

    MatchableStatus assigned;
    {
        // A target that already holds another update must lose all of it.
        Json other(ObjectText(With(StatusMembers(), "group_members_joined",
                                   ArrayText({Quoted(kU1), Quoted(kU2), Quoted(kU3)}).c_str())));
        ASSERT_TRUE(ParseMatchableStatus(other.get(), &assigned));
    }
    assigned = record_;

    record_.Clear();
    ExpectFullStatus(constructed);
    ExpectFullStatus(assigned);

    // A copy of a copy keeps the order as well (no reversal on copying).
    MatchableStatus second(assigned);
    assigned.Clear();
    ExpectFullStatus(second);
}

TEST_F(MatchableStatusTest, EverySevenStateTextParsesAndNamesRoundTrip) {
    const char* const texts[] = {"initial_waiting", "matching", "matched",  "accepted",
                                 "match_started",   "expired",  "cancelled"};
    const char* const names[] = {"HY_INITIAL_WAITING", "HY_MATCHING", "HY_MATCHED",  "HY_ACCEPTED",
                                 "HY_MATCH_STARTED",   "HY_EXPIRED",  "HY_CANCELLED"};
    for (int32_t state = 0; state < 7; ++state) {
        SCOPED_TRACE(texts[state]);
        ASSERT_TRUE(
            Parse(ObjectText(With(StatusMembers(), "state", Quoted(texts[state]).c_str()))));
        EXPECT_EQ(record_.state, state);
        EXPECT_STREQ(MatchableStateName(state), names[state]);
        EXPECT_STREQ(MatchableStateJsonText(state), texts[state]);
    }
    for (int32_t other : {7, -1, 8, 1000}) {
        EXPECT_STREQ(MatchableStateName(other), "<unknown>");
        EXPECT_EQ(MatchableStateJsonText(other), nullptr);
    }
    EXPECT_EQ(ParseMatchableState(nullptr), HY_STATE_UNKNOWN);
}

// A "state" that names none of the seven stops the parse before the group
// and the match are read.
TEST_F(MatchableStatusTest, UnknownStateFailsAtOnceLeavingTheRestCleared) {
    for (const char* state : {"\"Matched\"", "\"MATCHING\"", "\"\"", "\"matched \"", "2", "null",
                              "[\"matched\"]", static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(state ? state : "(absent)");
        EXPECT_FALSE(Parse(ObjectText(With(StatusMembers(), "state", state))));
        EXPECT_EQ(record_.state, HY_STATE_UNKNOWN);
        EXPECT_EQ(record_.seq, 5u);  // read before the state
        EXPECT_STREQ(record_.matchable_id.c_str(), kMatchable.c_str());
        EXPECT_EQ(record_.group_size, 0);
        EXPECT_EQ(record_.group_members_joined_count, 0);
        EXPECT_TRUE(record_.group_members_joined.empty());
        EXPECT_TRUE(record_.match.id.empty());
        EXPECT_TRUE(record_.match.teams.empty());
    }
}

TEST_F(MatchableStatusTest, NegativeHopperSizeKeepsItsUnsignedValue) {
    ASSERT_TRUE(Parse(ObjectText(With(StatusMembers(), "estimated_hopper_size", "-1"))));
    EXPECT_EQ(record_.estimated_hopper_size, 4294967295u);
}

TEST_F(MatchableStatusTest, MatchTeamsSkipEmptyArraysAndToleratePartialUsers) {
    const std::string bare_user = ObjectText({{"identity_id", Quoted(kU1)}});
    const Members match =
        With(With(MatchMembers(), "teams", ArrayText({"[]", ArrayText({bare_user}), "{}"}).c_str()),
             "params", "{}");
    ASSERT_TRUE(Parse(StatusWithMatch(With(match, "join_info", nullptr))));
    const MatchInfo& info = record_.match;
    EXPECT_EQ(info.team_count, 1);
    EXPECT_EQ(info.user_count, 1);
    ASSERT_EQ(Teams(info), (std::vector<std::vector<std::string>>{{kU1}}));
    const MatchUser& user = info.teams.front().members.front();
    EXPECT_TRUE(user.group_id.empty());
    EXPECT_TRUE(user.attributes.empty());
    EXPECT_TRUE(user.values.empty());
    EXPECT_EQ(user.bayesian_rating, 0.0);
    EXPECT_EQ(info.params.c_str(), Serialized("{}"));
    EXPECT_FALSE(info.params.empty());
    EXPECT_TRUE(info.join_info.empty());
}

// ---- Validation, one rule per row ---------------------------------------

std::string StatusWith(const char* key, const char* value) {
    return ObjectText(With(StatusMembers(), key, value));
}

std::string MatchWith(const char* key, const char* value) {
    return StatusWithMatch(With(MatchMembers(), key, value));
}

std::string Repeated(const std::string& element, int count) {
    return ArrayText(std::vector<std::string>(static_cast<size_t>(count), element));
}

std::vector<ValidityCase> ValidityCases() {
    const std::string short_id = Quoted(kA.substr(1));
    const std::string long_id = Quoted(kA + "0");
    const std::string user = UserText(kU1, "g", 1.0);
    const int oversized = kMaxRecordListElements + 1;
    return {
        {"WellFormed", ObjectText(StatusMembers()), true},
        {"SeqZero", StatusWith("seq", "0"), false},
        {"SeqAbsent", StatusWith("seq", nullptr), false},
        {"SeqAsText", StatusWith("seq", "\"5\""), false},
        {"MatchableIdShort", StatusWith("matchable_id", short_id.c_str()), false},
        {"MatchableIdLong", StatusWith("matchable_id", long_id.c_str()), false},
        {"MatchableIdAsNumber", StatusWith("matchable_id", "7"), false},
        {"HopperIdAbsent", StatusWith("hopper_id", nullptr), false},
        {"HopperIdAsObject", StatusWith("hopper_id", "{}"), false},
        {"GroupSizeNegative", StatusWith("group_size", "-1"), false},
        {"GroupSizeAboveJoined", StatusWith("group_size", "9"), true},
        {"GroupIdAnyLength", StatusWith("group_id", "\"x\""), true},
        {"NoMatchNoGroup",
         ObjectText(With(With(StatusMembers(), "match", nullptr), "group_members_joined", nullptr)),
         true},
        {"JoinedEmpty", StatusWith("group_members_joined", "[]"), true},
        {"JoinedShortId",
         StatusWith("group_members_joined", ArrayText({Quoted(kA), short_id}).c_str()), false},
        {"JoinedNumberElement", StatusWith("group_members_joined", "[1]"), false},
        {"JoinedOversized",
         StatusWith("group_members_joined", Repeated(Quoted(kA), oversized).c_str()), false},
        {"JoinedAtLimit",
         StatusWith("group_members_joined", Repeated(Quoted(kA), kMaxRecordListElements).c_str()),
         true},
        {"MatchIdAbsent", MatchWith("id", nullptr), true},
        {"MatchIdEmpty", MatchWith("id", "\"\""), true},
        {"MatchIdShort", MatchWith("id", short_id.c_str()), false},
        {"AcceptedShortId", MatchWith("accepted", ArrayText({short_id}).c_str()), false},
        {"AcceptedNullElement", MatchWith("accepted", "[null]"), false},
        {"AcceptedOversized", MatchWith("accepted", Repeated(Quoted(kA), oversized).c_str()),
         false},
        {"UserWithoutIdentity",
         MatchWith("teams",
                   ArrayText({ArrayText({user, ObjectText({{"group_id", "\"g\""}})})}).c_str()),
         false},
        {"UserShortIdentity",
         MatchWith("teams",
                   ArrayText({ArrayText({ObjectText({{"identity_id", short_id}})})}).c_str()),
         false},
        {"UserIsText", MatchWith("teams", ArrayText({ArrayText({Quoted(kU1)})}).c_str()), false},
        {"TeamOversized",
         MatchWith(
             "teams",
             ArrayText({Repeated(ObjectText({{"identity_id", Quoted(kU1)}}), oversized)}).c_str()),
         false},
        {"TeamsOversized", MatchWith("teams", Repeated("[]", oversized).c_str()), false},
        {"TeamsAllEmpty", MatchWith("teams", "[[],[]]"), true},
    };
}

using StatusValidityTest = RecordValidityTest<MatchableStatus, ParseMatchableStatus>;

TEST_P(StatusValidityTest, ParseResultFollowsTheRules) {
    CheckRow();
}

INSTANTIATE_TEST_SUITE_P(Rules, StatusValidityTest, ::testing::ValuesIn(ValidityCases()), CaseName);

// Rules that a parse cannot break on its own: counts that disagree with lists.
TEST_F(MatchableStatusTest, CountsMustMatchTheirLists) {
    ASSERT_TRUE(Parse(ObjectText(StatusMembers())));
    MatchableStatus status = record_;
    status.group_members_joined_count = 3;
    EXPECT_FALSE(status.IsValid());

    status = record_;
    status.group_members_joined_count = -1;
    status.group_members_joined.clear();
    EXPECT_FALSE(status.IsValid());

    status = record_;
    status.match.accepted_count = 1;
    EXPECT_FALSE(status.IsValid());

    status = record_;
    status.match.team_count = 3;
    EXPECT_FALSE(status.IsValid());

    status = record_;
    status.match.teams.front().member_count = 2;
    EXPECT_FALSE(status.IsValid());

    status = record_;
    status.match.user_count = 99;  // not compared
    EXPECT_TRUE(status.IsValid());
}

}  // namespace
