// The body builders give what the matchmaker's own record parsers accept.
#include <functional>
#include <tuple>
#include <utility>

#include "HalyardTest.h"
#include "records/HopperInfo.h"
#include "records/MatchableStatus.h"

namespace {

using BuildersTest = HalyardTest;
using KRMatchmakingSystem::MatchableStatus;

constexpr const char* kMatchable = "0f1e2d3c-4b5a-4978-8695-a4b3c2d1e0f9";
constexpr const char* kHopper = "11111111-2222-4333-8444-555555555555";
constexpr const char* kMatch = "3a7c0000-0000-4000-8000-0000000000aa";
constexpr const char* kA = "aaaaaaaa-0000-4000-8000-000000000001";
constexpr const char* kB = "bbbbbbbb-0000-4000-8000-000000000002";
constexpr const char* kC = "cccccccc-0000-4000-8000-000000000003";

TEST_F(BuildersTest, StatusWithMatchParsesAsTheMatchmakerReadsIt) {
    const char* states[] = {"initial_waiting", "matching", "matched",  "accepted",
                            "match_started",   "expired",  "cancelled"};
    for (int32_t state = 0; state < 7; ++state) {
        hy_json* status = hyl_status_json(kMatchable, kHopper, 9, states[state]);
        MatchableStatus record;
        EXPECT_TRUE(ParseMatchableStatus(status, &record)) << states[state];
        EXPECT_EQ(record.state, state);
        hy_json_free(status);
    }

    hy_json* status = hyl_status_json(kMatchable, kHopper, 3, "accepted");
    hy_json* match = hyl_match_json(kMatch);
    const char* first[] = {kA, kB};
    ASSERT_EQ(hyl_match_add_team(match, first, 2), 0);
    ASSERT_EQ(hyl_match_add_team(match, &kC, 1), 0);
    ASSERT_EQ(hyl_match_add_accepted(match, kC), 0);
    ASSERT_EQ(hy_json_set_key(status, "match", match), 0);
    // The leader being the last team added is proven by the record/replay run.
    MatchableStatus record;
    ASSERT_TRUE(ParseMatchableStatus(status, &record)) << Text(status);
    EXPECT_STREQ(record.match.id.c_str(), kMatch);
    EXPECT_EQ(std::make_tuple(record.match.team_count, record.match.user_count,
                              record.match.accepted_count),
              std::make_tuple(2, 3, 1));
    hy_json_free(status);

    const double fractions[] = {0.5, 0.5};
    hy_json* hopper = hyl_hopper_json(kHopper, "duel", 2, fractions, 2);
    KRMatchmakingSystem::HopperInfo info;
    EXPECT_TRUE(ParseHopperInfo(hopper, &info)) << Text(hopper);
    EXPECT_EQ(std::make_tuple(info.players, info.team_count, info.is_enabled),
              std::make_tuple(2, 2, true));
    hy_json_free(hopper);
}

TEST_F(BuildersTest, BodiesTheMatchmakerWouldRejectAreRefusedWithAReason) {
    hy_json* status = hyl_status_json(kMatchable, kHopper, 1, "matching");
    hy_json* match = hyl_match_json(kMatch);
    static const char* const kShort = "aaaaaaaa-0000-4000-8000-00000000000";
    static const char* const kMixed[] = {kA, kShort};
    static const char* const kNotUtf8 =
        "\xff"
        "aaaaaaa-0000-4000-8000-000000000001";  // 36 bytes
    const std::pair<std::function<bool()>, const char*> cases[] = {
        {[] { return hyl_status_json(kShort, kHopper, 1, "matching") == nullptr; },
         "hyl_status_json: \"aaaaaaaa-0000-4000-8000-00000000000\" is not a 36-character id"},
        {[] { return hyl_status_json(kMatchable, nullptr, 1, "matching") == nullptr; },
         "hyl_status_json: \"(null)\" is not a 36-character id"},
        {[] { return hyl_status_json(kMatchable, kHopper, 1, "Matching") == nullptr; },
         "hyl_status_json: unknown state \"Matching\""},
        {[&] { return hyl_match_add_team(status, &kA, 1) == -1; },
         "hyl_match_add_team: not a match made by hyl_match_json"},
        {[&] { return hyl_match_add_team(match, kMixed, 2) == -1; },
         "hyl_match_add_team: \"aaaaaaaa-0000-4000-8000-00000000000\" is not a 36-character id"},
        {[] { return hyl_match_add_accepted(nullptr, kA) == -1; },
         "hyl_match_add_accepted: not a match made by hyl_match_json"},
        {[] { return hyl_hopper_json(kHopper, "h", 1, nullptr, 1) == nullptr; },
         "hyl_hopper_json: no team fractions"},
        {[&] { return hyl_match_add_team(match, &kNotUtf8, 1) == -1; },
         "hyl_match_add_team: an id is not UTF-8 text"},
        {[] { return hyl_hopper_json(kHopper, "\xc3", 1, nullptr, 0) == nullptr; },
         "hyl_hopper_json: name is not UTF-8 text"},
    };
    for (const auto& [refused, reason] : cases) {
        EXPECT_TRUE(refused()) << reason;
        EXPECT_STREQ(hyl_last_error(), reason);
    }
    // A refused team adds nothing, not even its valid members.
    EXPECT_EQ(Text(match), R"({"id":")" + std::string(kMatch) + R"(","accepted":[],"teams":[]})");
    hy_json_free(status);
    hy_json_free(match);
}

}  // namespace
