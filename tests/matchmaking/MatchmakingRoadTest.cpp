// One matchmaking run from start to idle, as leader and as follower, with the
// game accepting and starting or the matchmaker doing it by itself.
#include <ostream>
#include <string>
#include <vector>

#include "RunFixture.h"

namespace krmm_test {
namespace {

struct RoadCase {
    const char* label;
    bool leader;
    uint32_t flags;
};
// gtest would print the struct's bytes, padding included.
void PrintTo(const RoadCase& road, std::ostream* out) {
    *out << road.label;
}

class MatchmakingRoadTest : public MatchmakerRunTest,
                            public ::testing::WithParamInterface<RoadCase> {};

TEST_P(MatchmakingRoadTest, RunsFromStartToIdle) {
    const RoadCase& road = GetParam();
    krmm_set_flags(mm_, 0xFFu | road.flags);
    krmm_set_heartbeat_interval(mm_, 500);
    // What the game saw of the match when it was told the match started.
    std::vector<std::string> seen_at_start;
    auto capture = [](krmm_matchmaker* mm, const char* name, int32_t value, const char*,
                      void* seen) {
        if (std::string(name) == "state" && value == MMS_MATCH_STARTED) {
            auto* texts = static_cast<std::vector<std::string>*>(seen);
            texts->push_back(krmm_get_match_info_join_json_str(mm));
            texts->push_back(krmm_get_match_info_match_id(mm));
            texts->push_back(krmm_get_match_info_team_member_id(mm, 0, 0));
        }
    };
    krmm_register_msg_callback(mm_, capture, &seen_at_start);

    const std::string own = OwnId();
    const std::string match = TestId(77);
    // Team 0 of the record is the last team given; its first member is the
    // last one given, so only the leader case puts the own id there.
    auto with_match = [&](StatusJson status) {
        status.MatchId(match).Team({TestId(1), TestId(2)});
        return road.leader ? status.Team({TestId(3), own}) : status.Team({own, TestId(3)});
    };
    const std::string join = "{\"server\":\"s1\"}";
    Script(HYL_KEEPALIVE, 200, StatusJson(Matchable(), 1, "initial_waiting").Text());
    Script(HYL_KEEPALIVE, 200, StatusJson(Matchable(), 2, "matching").HopperSize(4).Text());
    Default(HYL_KEEPALIVE, 200, with_match(StatusJson(Matchable(), 3, "matched")).Text());
    Script(HYL_ACCEPT, 200,
           with_match(StatusJson(Matchable(), 4, "accepted")).Accepted({own}).Text());
    const bool auto_start = road.leader && (road.flags & MMF_AUTO_START) != 0;
    const StatusJson started =
        with_match(StatusJson(Matchable(), 5, "match_started")).JoinInfo(auto_start ? "{}" : join);
    Script(HYL_START, 200, started.Text());

    ASSERT_TRUE(Start());
    for (int pass = 0; pass < 2000 && !krmm_is_idle(mm_); ++pass) {
        Pump(1, 10);
        if (State() == MMS_MATCHED && (road.flags & MMF_AUTO_ACCEPT) == 0) {
            krmm_accept_match(mm_);
        } else if (State() == MMS_ACCEPTED_LEADER && !auto_start) {
            krmm_start_match(mm_, join.c_str());
        } else if (State() == MMS_ACCEPTED_FOLLOWER) {
            Push(started);
        }
    }

    std::vector<int32_t> road_states = {MMS_REQUEST_TICKET,  MMS_INITIAL_KEEPALIVE,
                                        MMS_INITIAL_WAITING, MMS_MATCHING,
                                        MMS_MATCHED,         MMS_ACCEPT_MATCH};
    if (road.leader) {
        road_states.insert(road_states.end(), {MMS_ACCEPTED_LEADER, MMS_MATCH_STARTED_WAIT});
    } else {
        road_states.push_back(MMS_ACCEPTED_FOLLOWER);
    }
    road_states.insert(road_states.end(), {MMS_MATCH_STARTED, MMS_RESTART, MMS_INIT, MMS_IDLE});
    EXPECT_EQ(rec_.States(), road_states);
    EXPECT_EQ(rec_.Values("idle"), (std::vector<int32_t>{0, 1}));
    EXPECT_TRUE(Errors().empty());

    // The game reads the match when the start is reported.
    const std::string expected_join = auto_start ? "{}" : join;
    EXPECT_EQ(seen_at_start,
              (std::vector<std::string>{expected_join, match, road.leader ? own : TestId(3)}));
    EXPECT_EQ(rec_.CountLines("Auto accepting match..."),
              (road.flags & MMF_AUTO_ACCEPT) != 0 ? 1u : 0u);
    EXPECT_EQ(rec_.CountLines("Auto starting match..."), auto_start ? 1u : 0u);
    EXPECT_EQ(rec_.CountLines("Found a match in"), 1u);

    // Requests: one ticket for the hopper, accept and (leader) start for it.
    ASSERT_EQ(Sent(HYL_TICKET), 1u);
    EXPECT_STREQ(LastSent(HYL_TICKET)->hopper_id, HopperId());
    ASSERT_EQ(Sent(HYL_ACCEPT), 1u);
    EXPECT_STRNE(LastSent(HYL_ACCEPT)->ticket, "");
    EXPECT_EQ(Sent(HYL_CANCEL), 0u);
    if (road.leader) {
        ASSERT_EQ(Sent(HYL_START), 1u);
        EXPECT_STREQ(LastSent(HYL_START)->ticket, LastSent(HYL_ACCEPT)->ticket);
        EXPECT_EQ(std::string(LastSent(HYL_START)->join_info_json), auto_start ? "" : join);
    } else {
        EXPECT_EQ(Sent(HYL_START), 0u);
    }

    // The attempt is over: its matchable is remembered, everything else gone.
    EXPECT_EQ(krmm_is_idle(mm_), 1);
    EXPECT_STREQ(sys()->previous_matchable_id().c_str(), Matchable().c_str());
    EXPECT_TRUE(sys()->ticket().empty());
    EXPECT_STREQ(krmm_get_match_info_match_id(mm_), "");
    EXPECT_EQ(sys()->heartbeat_task(), nullptr);
    EXPECT_TRUE(sys()->task_manager()->queue_empty());
    // A late update of the finished attempt changes nothing.
    rec_.Clear();
    Push(StatusJson(Matchable(), 9, "matching"));
    EXPECT_TRUE(rec_.HasLine("Ignoring old matchable id '" + Matchable() + "'"));
    EXPECT_TRUE(rec_.States().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Roads, MatchmakingRoadTest,
    ::testing::Values(RoadCase{"Leader", true, 0}, RoadCase{"Follower", false, 0},
                      RoadCase{"LeaderAutoAcceptAutoStart", true, MMF_AUTO_ACCEPT | MMF_AUTO_START},
                      RoadCase{"FollowerAutoAccept", false, MMF_AUTO_ACCEPT | MMF_AUTO_START},
                      RoadCase{"LeaderAutoAcceptOnly", true, MMF_AUTO_ACCEPT}),
    [](const ::testing::TestParamInfo<RoadCase>& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace krmm_test
