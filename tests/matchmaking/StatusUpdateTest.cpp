// How backend status updates are filtered and how they move the matchmaker.
#include <string>
#include <vector>

#include "RunFixture.h"

namespace krmm_test {
namespace {

class StatusUpdateTest : public MatchmakerRunTest {
protected:
    // In MMS_MATCHING on Matchable() at sequence `seq`, by a pushed update.
    void ReachMatching(uint32_t seq = 5) {
        StartWithTicket();
        Push(StatusJson(Matchable(), seq, "matching").HopperSize(3));
        ASSERT_EQ(State(), MMS_MATCHING);
        rec_.Clear();
    }
    bool Refused() const {
        return rec_.HasLine(
            "========= IGNORING INVALID MATCHABLE STATUS UPDATE - INVALID ID OR SEQUENCE");
    }
};

TEST_F(StatusUpdateTest, SameMatchableNeedsAHigherSequenceComparedUnsigned) {
    ReachMatching(5);
    const struct {
        uint32_t seq;
        bool accepted;
    } cases[] = {{5, false}, {4, false}, {6, true}, {6, false}, {4294967295u, true}, {1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seq);
        rec_.Clear();
        Push(StatusJson(Matchable(), c.seq, "matching"));
        EXPECT_EQ(Refused(), !c.accepted);
        EXPECT_EQ(rec_.HasLine("========= Matchable Status Update ========="), c.accepted);
    }
    EXPECT_EQ(sys()->current_status().seq, 4294967295u);
    EXPECT_TRUE(
        rec_.HasLine("UpdateMatchableStatus: Ignoring old matchable status with matchable "
                     "id '" +
                     Matchable() + "' and sequence 1 (current '" + Matchable() + "':-1)"));
}

TEST_F(StatusUpdateTest, HopperSizeChangeAtTheSameSequenceIsAppliedAlone) {
    ReachMatching(5);
    Push(StatusJson(Matchable(), 5, "matched").HopperSize(9));
    EXPECT_EQ(rec_.Values("hopper_size"), std::vector<int32_t>{9});
    EXPECT_TRUE(rec_.HasLine("Updated estimated hopper size to 9..."));
    EXPECT_EQ(krmm_get_estimated_hopper_size(mm_), 9u);
    // The rest of the update is refused as a repeat.
    EXPECT_TRUE(Refused());
    EXPECT_EQ(State(), MMS_MATCHING);
    // The same size again, and a newer update with a new size, send nothing.
    Push(StatusJson(Matchable(), 5, "matching").HopperSize(9));
    Push(StatusJson(Matchable(), 6, "matching").HopperSize(12));
    EXPECT_EQ(rec_.Values("hopper_size"), std::vector<int32_t>{9});
    EXPECT_EQ(krmm_get_estimated_hopper_size(mm_), 12u);
}

TEST_F(StatusUpdateTest, UpdatesWithoutTicketOrInInactiveStatesChangeNothing) {
    // Idle: no attempt at all.
    Push(StatusJson(Matchable(), 1, "matching"));
    EXPECT_TRUE(rec_.HasLine("IGNORING INVALID MATCHABLE STATUS UPDATE - NO TICKET"));
    // Waiting for the ticket.
    ASSERT_TRUE(Start());
    Push(StatusJson(Matchable(), 1, "matching"));
    EXPECT_EQ(rec_.CountLines("IGNORING INVALID MATCHABLE STATUS UPDATE - NO TICKET"), 2u);
    EXPECT_EQ(State(), MMS_REQUEST_TICKET);
    // With a ticket but restarting.
    ExpectReaches(MMS_INITIAL_KEEPALIVE, 10);
    sys()->SetState(MMS_RESTART);
    Push(StatusJson(Matchable(), 1, "matching"));
    EXPECT_TRUE(rec_.HasLine("Ignoring matchable status update while in state 'MMS_RESTART'"));
    EXPECT_STREQ(krmm_get_match_info_matchable_id(mm_), "");
    EXPECT_TRUE(Errors().empty());
    // An update without a matchable id never passes the id check.
    bool new_matchable = true;
    EXPECT_FALSE(sys()->CheckMatchableIdAndSequence("", 7, &new_matchable));
    EXPECT_FALSE(new_matchable);
    EXPECT_TRUE(rec_.HasLine("Ignoring empty matchable id (current matchable id: '')"));
}

TEST_F(StatusUpdateTest, PushedMessagesThatAreNotStatusUpdates) {
    StartWithTicket();
    const size_t dumps = rec_.CountLines("=== Matchmaking ===");
    const std::string next = StatusJson(Matchable(), 3, "matching").Text();
    // Not JSON that parses as a status: missing sequence, unknown state.
    const std::string no_seq = "{\"matchable_id\":\"" + Matchable() + "\",\"state\":\"matching\"}";
    ASSERT_EQ(hyl_push_message(client_, "c", "matchmaking_update", no_seq.c_str()), 0);
    Push(StatusJson(Matchable(), 2, "Matching"));
    EXPECT_EQ(rec_.CountLines("Failed to parse the matchable status json"), 2u);
    // Other message types, letter case included, are only logged.
    ASSERT_EQ(hyl_push_message(client_, "c", "Matchmaking_Update", next.c_str()), 0);
    EXPECT_TRUE(rec_.HasLine("HYMsgCallback: Unknown msgType 'Matchmaking_Update'"));
    // Without JSON only the short line is written.
    ASSERT_EQ(hyl_push_message(client_, "first", "matchmaking_update", nullptr), 0);
    EXPECT_TRUE(rec_.HasLine("[HY_MSG]m[matchmaking_update]c[first]"));
    EXPECT_EQ(rec_.CountLines("HYMsgCallback 'matchmaking_update'..."), 2u);
    EXPECT_EQ(State(), MMS_INITIAL_KEEPALIVE);
    EXPECT_EQ(rec_.CountLines("=== Matchmaking ==="), dumps);
    // A message handed over for another client is still applied.
    hy_json* json = hy_json_parse(next.c_str(), next.size());
    KRMatchmakingSystem::MatchmakingSystem::HYMsgCallback(nullptr, "c", "matchmaking_update", json,
                                                          sys());
    hy_json_free(json);
    EXPECT_TRUE(rec_.HasLine("Unknown hyClient for halyard msg callback"));
    EXPECT_EQ(State(), MMS_MATCHING);
}

// Every backend state against every active matchmaker state. Each cell is
// what the matchmaker does with an update for a new matchable: the state it
// moves to, '.' for no move, or 'U' for an unexpected update (error 5 and a
// restart). The match in the update names this client as its leader. A move
// into MMS_MATCHED opens the accept window, one into an accepted state the
// start window; nothing else touches them.
TEST_F(StatusUpdateTest, TransitionTable) {
    const int32_t columns[] = {MMS_REQUEST_TICKET,  MMS_INITIAL_KEEPALIVE, MMS_INITIAL_WAITING,
                               MMS_MATCHING,        MMS_MATCHED,           MMS_ACCEPT_MATCH,
                               MMS_ACCEPTED_LEADER, MMS_ACCEPTED_FOLLOWER, MMS_MATCH_STARTED_WAIT,
                               MMS_MATCH_STARTED};
    const int U = -1, _ = -2;
    const struct {
        const char* hy_state;
        int result[10];
    } rows[] = {
        {"initial_waiting", {U, 5, _, 5, 5, 5, 5, 5, 5, U}},
        {"matching", {U, 6, 6, _, 6, 6, 6, 6, 6, U}},
        {"matched", {U, 7, 7, 7, _, 7, 7, 7, 7, U}},
        {"accepted", {U, 9, 9, 9, 9, 9, _, _, _, U}},
        {"match_started", {U, 12, 12, 12, 12, 12, 12, 12, 12, _}},
        {"expired", {13, 13, 13, 13, 13, 13, 13, 13, 13, 13}},
        {"cancelled", {2, 2, 2, 2, 2, 2, 2, 2, 2, 2}},
    };
    for (const auto& row : rows) {
        for (int column = 0; column < 10; ++column) {
            const int32_t from = columns[column];
            const int want = row.result[column];
            SCOPED_TRACE(std::string(row.hy_state) + " in " + krmm_matchmaking_state_to_str(from));
            // A fresh matchable per cell: cells that leave the ticket make
            // theirs the previous matchable.
            const std::string matchable = TestId(1000 + 10 * (&row - rows) + column);
            StartWithTicket(1000);
            sys()->SetState(from);
            // Left-overs of an earlier window that only a new one replaces.
            const uint32_t stale = Now() + 5;
            sys()->accept_deadline = sys()->start_deadline = stale;
            sys()->accept_final_heartbeat_sent = sys()->start_final_heartbeat_sent = true;
            AdvanceClock(1000);
            rec_.Clear();
            Push(StatusJson(matchable, 2, row.hy_state).MatchId(TestId(7)).Team({OwnId()}));
            const int32_t expected = want == U ? MMS_RESTART : want == _ ? from : want;
            EXPECT_EQ(State(), expected);
            const bool opens_accept = want == MMS_MATCHED && from != MMS_ACCEPT_MATCH;
            const bool opens_start = want == MMS_ACCEPTED_LEADER;
            EXPECT_EQ(sys()->accept_deadline, opens_accept  ? Now() + 20000
                                              : opens_start ? 0u
                                                            : stale);
            EXPECT_EQ(sys()->start_deadline, opens_start ? Now() + 20000 : stale);
            EXPECT_EQ(sys()->accept_final_heartbeat_sent, !opens_accept);
            EXPECT_EQ(sys()->start_final_heartbeat_sent, !opens_start);
            EXPECT_EQ(Errors(), want == U ? std::vector<int32_t>{MME_UNEXPECTED_HY_STATE}
                                          : std::vector<int32_t>{});
            if (want == U) {
                EXPECT_TRUE(rec_.HasLine("UpdateMatchableStatus: Unexpected halyard state"));
            }
            // Leaving the ticket (match start, cancellation) remembers the
            // matchable so that its later updates are refused.
            const bool left = expected == MMS_MATCH_STARTED && from != MMS_MATCH_STARTED;
            const bool cancelled = std::string(row.hy_state) == "cancelled";
            EXPECT_EQ(sys()->ticket().empty(), left || cancelled);
            EXPECT_EQ(sys()->previous_matchable_id().Equals(matchable.c_str()), left || cancelled);
            if (expected == MMS_ERR_EXPIRED) {
                // The expiry is raised by the next pass, which restarts.
                Pump(1, 10);
                EXPECT_EQ(Errors(), std::vector<int32_t>{MME_TICKET_EXPIRED});
                EXPECT_EQ(State(), MMS_RESTART);
            }
            DrainToIdle();
            ASSERT_EQ(State(), MMS_IDLE);
        }
    }
}

TEST_F(StatusUpdateTest, AnotherMatchWhileAcceptingReturnsToMatchedKeepingTheDeadline) {
    StartWithTicket();
    Push(StatusJson(Matchable(), 2, "matched").MatchId(TestId(7)).Team({TestId(8)}));
    const uint32_t deadline = sys()->accept_deadline;
    ASSERT_NE(deadline, 0u);
    krmm_accept_match(mm_);
    ASSERT_EQ(State(), MMS_ACCEPT_MATCH);
    AdvanceClock(5000);
    // The same matchable again changes nothing.
    Push(StatusJson(Matchable(), 3, "matched").MatchId(TestId(7)).Team({TestId(8)}));
    EXPECT_EQ(State(), MMS_ACCEPT_MATCH);
    // Another matchable, whatever its sequence, resets the accept inside the
    // old window.
    rec_.Clear();
    Push(StatusJson(TestId(902), 1, "matched").MatchId(TestId(9)).Team({TestId(8)}));
    EXPECT_EQ(State(), MMS_MATCHED);
    EXPECT_STREQ(krmm_get_match_info_matchable_id(mm_), TestId(902).c_str());
    EXPECT_EQ(sys()->accept_deadline, deadline);
    EXPECT_TRUE(rec_.HasLine("UpdateMatchableStatus: Resetting accept - Jumping to matched"));
    EXPECT_FALSE(rec_.HasLine("Setting accept timeout"));
}

TEST_F(StatusUpdateTest, AcceptedWithoutTeamsMakesAFollower) {
    StartWithTicket();
    Push(StatusJson(Matchable(), 2, "accepted").MatchId(TestId(7)));
    EXPECT_EQ(State(), MMS_ACCEPTED_FOLLOWER);
    EXPECT_NE(sys()->start_deadline, 0u);
    DrainToIdle();
    // Only the first member of the first team in record order leads: here
    // the own id is the first member given, which the record puts last.
    StartWithTicket();
    sys()->SetState(MMS_ACCEPT_MATCH);
    Push(StatusJson(TestId(903), 2, "accepted").Team({OwnId(), TestId(8)}));
    EXPECT_EQ(State(), MMS_ACCEPTED_FOLLOWER);
}

// Team 0 of the record is the last team of the JSON, and member 0 of a team
// its last member.
TEST_F(StatusUpdateTest, MatchInfoAccessorsWalkTheRecordOrder) {
    const std::string a = TestId(1), b = TestId(2), c = TestId(3);
    StartWithTicket();
    Push(StatusJson(Matchable(), 2, "matched")
             .MatchId(TestId(7))
             .Team({a, b})
             .Team({c})
             .Accepted({c})
             .Params("{\"mode\":\"duel\"}")
             .JoinInfo("{\"port\":7}"));
    ASSERT_EQ(State(), MMS_MATCHED);
    EXPECT_STREQ(krmm_get_match_info_match_id(mm_), TestId(7).c_str());
    EXPECT_STREQ(krmm_get_match_info_matched_json_str(mm_), "{\"mode\":\"duel\"}");
    EXPECT_STREQ(krmm_get_match_info_join_json_str(mm_), "{\"port\":7}");
    EXPECT_EQ(krmm_get_match_info_num_users(mm_), 3);
    EXPECT_EQ(krmm_get_match_info_num_users_accepted(mm_), 1);
    EXPECT_EQ(krmm_get_match_info_num_teams(mm_), 2);

    EXPECT_EQ(krmm_get_match_info_num_team_members(mm_, 0), 1);
    EXPECT_EQ(krmm_get_match_info_num_team_members(mm_, 1), 2);
    EXPECT_EQ(krmm_get_match_info_num_team_members(mm_, 2), 0);
    EXPECT_EQ(krmm_get_match_info_num_team_members(mm_, -1), 0);
    const std::string invalid = "<GetMatchInfoTeamMemberId: invalid team or member index>";
    const struct {
        int32_t team, member;
        std::string id;
    } members[] = {{0, 0, c},       {1, 0, b},        {1, 1, a},       {1, 2, invalid},
                   {2, 0, invalid}, {-1, 0, invalid}, {0, -1, invalid}};
    for (const auto& m : members) {
        EXPECT_EQ(krmm_get_match_info_team_member_id(mm_, m.team, m.member), m.id)
            << m.team << "," << m.member;
    }
    const std::string users[] = {"", MemberAttributes(c), MemberAttributes(b), MemberAttributes(a),
                                 ""};
    for (int32_t n = 0; n < 5; ++n) {
        EXPECT_EQ(krmm_get_match_info_user_json_str(mm_, n), users[n]) << n;
    }
    EXPECT_STREQ(krmm_get_match_info_user_json_str(mm_, -1), "");

    // A restart clears what the accessors read with the attempt.
    krmm_restart(mm_);
    EXPECT_EQ(krmm_get_match_info_num_team_members(mm_, 0), 0);
    EXPECT_EQ(krmm_get_match_info_team_member_id(mm_, 0, 0), invalid);
    EXPECT_STREQ(krmm_get_match_info_user_json_str(mm_, 1), "");
}

}  // namespace
}  // namespace krmm_test
