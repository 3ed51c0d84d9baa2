// Formation, the ticket steps and the clocks, on the store interface.
#include <algorithm>
#include <set>

#include "CoreFixture.h"

namespace server_test {
namespace {

const char* const kParty = "4f1d8c3e-2b7a-4c11-9e55-0a6b3c2d1e0f";

class FormationTest : public CoreTest {
protected:
    Match MatchOf(const std::string& ticket) { return *store_->GetMatch(Get(ticket).match_id); }
};

TEST_P(FormationTest, TheOldestTicketsPlayFirstAndTheLeaderIsTheLastOfTheLastTeam) {
    std::vector<std::string> tickets;
    for (int i = 0; i < 12; ++i) {
        tickets.push_back(Queue(kTen));
    }
    EXPECT_EQ(store_->WaitingCount(kTen), 2u);
    EXPECT_EQ(State(tickets[10]), TicketState::kMatching);
    const Match match = MatchOf(tickets[0]);
    ASSERT_EQ(match.teams.size(), 2u);
    EXPECT_EQ(match.teams[0].size(), 5u);
    EXPECT_EQ(match.teams[1].size(), 5u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(Get(tickets[i]).match_id, match.id);
    }
    EXPECT_EQ(match.Leader(), &match.teams[1].back());
}

TEST_P(FormationTest, FormsEveryMatchThePoolAllows) {
    struct Case {
        const char* hopper;
        int queued;
        size_t matches;
        size_t left;
        std::vector<size_t> team_sizes;
    };
    for (const Case& c :
         {Case{kSolo, 3, 3, 0, {1}}, Case{kDuel, 5, 2, 1, {1, 1}}, Case{kTen, 21, 2, 1, {5, 5}}}) {
        std::set<std::string> matches;
        std::string first;
        for (int i = 0; i < c.queued; ++i) {
            const std::string ticket = Queue(c.hopper);
            first = first.empty() ? ticket : first;
            if (!Get(ticket).match_id.empty()) {
                matches.insert(Get(ticket).match_id);
            }
        }
        EXPECT_EQ(matches.size(), c.matches) << c.hopper;
        EXPECT_EQ(store_->WaitingCount(c.hopper), c.left) << c.hopper;
        std::vector<size_t> sizes;
        for (const auto& team : MatchOf(first).teams) {
            sizes.push_back(team.size());
        }
        EXPECT_EQ(sizes, c.team_sizes) << c.hopper;
    }
}

TEST_P(FormationTest, OneIdentityNeverPlaysItselfAndATicketWaitsForItsFirstKeepAlive) {
    TicketRequest request;
    request.hopper_id = kDuel;
    const std::string identity = Identity();
    const Outcome first = tickets_.Create(identity, request);
    const Outcome second = tickets_.Create(identity, request);
    tickets_.KeepAlive(identity, first.ticket->id);
    clock_.Advance(1);
    tickets_.KeepAlive(identity, second.ticket->id);
    EXPECT_EQ(store_->WaitingCount(kDuel), 2u);
    const Outcome silent = tickets_.Create(Identity(), request);
    EXPECT_EQ(store_->WaitingCount(kDuel), 2u);
    tickets_.KeepAlive(silent.ticket->identity, silent.ticket->id);
    EXPECT_EQ(State(first.ticket->id), TicketState::kMatched);
    EXPECT_EQ(State(second.ticket->id), TicketState::kMatching);
}

TEST_P(FormationTest, APartyPlaysOnOneTeamOnceCompleteAndInThePool) {
    TicketRequest opener;
    opener.second_group_id = kParty;
    opener.group_size = 3;
    TicketRequest joiner;
    joiner.group_id = kParty;
    std::vector<std::string> members = {Queue(kTen, joiner), Queue(kTen, opener)};
    for (int i = 0; i < 8; ++i) {
        Queue(kTen);
    }
    EXPECT_EQ(store_->WaitingCount(kTen), 10u);  // ten waiting, but the party lacks one
    const uint32_t seq = Get(members[0]).seq;
    members.push_back(Queue(kTen, joiner));
    ASSERT_EQ(State(members[2]), TicketState::kMatched);
    EXPECT_EQ(Get(members[0]).seq, seq + 2);  // a third member, then the match
    const Match match = MatchOf(members[0]);
    for (const auto& team : match.teams) {
        const auto in_party = std::count_if(
            team.begin(), team.end(), [&](const MatchMember& m) { return m.party_id == kParty; });
        EXPECT_TRUE(in_party == 0 || in_party == 3);
    }
    // The newest solo waits: a team of five had room for the party and two.
    EXPECT_EQ(store_->WaitingCount(kTen), 1u);
}

// Seven older solos would leave seats 1 and 2 in teams of five if seated
// first: the party is seated before them.
TEST_P(FormationTest, APartyBehindSolosStillFindsSeatsOnOneTeam) {
    for (int i = 0; i < 7; ++i) {
        Queue(kTen);
    }
    TicketRequest opener;
    opener.second_group_id = kParty;
    opener.group_size = 3;
    TicketRequest joiner;
    joiner.group_id = kParty;
    const std::string first = Queue(kTen, opener);
    Queue(kTen, joiner);
    Queue(kTen, joiner);
    ASSERT_EQ(State(first), TicketState::kMatched);
    EXPECT_EQ(store_->WaitingCount(kTen), 0u);
    for (const auto& team : MatchOf(first).teams) {
        const auto in_party = std::count_if(
            team.begin(), team.end(), [&](const MatchMember& m) { return m.party_id == kParty; });
        EXPECT_TRUE(in_party == 0 || in_party == 3);
    }
}

TEST(TeamSizesTest, SplitsPlayersByFractionToTheExactTotal) {
    EXPECT_EQ(TeamSizes(10, {0.5, 0.5}), (std::vector<int32_t>{5, 5}));
    EXPECT_EQ(TeamSizes(3, {0.5, 0.5}), (std::vector<int32_t>{2, 1}));
    EXPECT_EQ(TeamSizes(7, {0.2, 0.3, 0.5}), (std::vector<int32_t>{1, 2, 4}));
    EXPECT_EQ(TeamSizes(4, {0.0, 0.0}), (std::vector<int32_t>{2, 2}));
    EXPECT_EQ(TeamSizes(5, {0.0, 2.0}), (std::vector<int32_t>{0, 5}));
}

class StepsTest : public CoreTest {
protected:
    // Two tickets matched in the duel hopper.
    void MatchTwo() {
        a_ = Queue(kDuel);
        b_ = Queue(kDuel);
        ASSERT_EQ(State(a_), TicketState::kMatched);
    }
    bool InMatch(const std::string& id) {
        return State(id) == TicketState::kMatched || State(id) == TicketState::kAccepted;
    }
    void Cancel(const std::string& id, bool soft = false) {
        tickets_.Cancel(Get(id).identity, id, soft);
    }

    std::string a_;
    std::string b_;
};

TEST_P(StepsTest, OnlyTheLeaderStartsAndOnlyOnceEveryoneAccepted) {
    MatchTwo();
    const std::string leader = store_->GetMatch(Get(a_).match_id)->Leader()->ticket;
    const std::string follower = leader == a_ ? b_ : a_;
    EXPECT_EQ(tickets_.Start(Get(leader).identity, leader, "{}").refusal, Refusal::kConflict);
    Accept(a_);
    EXPECT_EQ(State(a_), TicketState::kMatched);
    Accept(b_);
    EXPECT_EQ(State(a_), TicketState::kAccepted);
    EXPECT_EQ(tickets_.Start(Get(follower).identity, follower, "{}").refusal, Refusal::kForbidden);
    EXPECT_EQ(tickets_.Start(Get(leader).identity, follower, "{}").refusal, Refusal::kForbidden);
    ASSERT_EQ(tickets_.Start(Get(leader).identity, leader, "{\"port\":7777}").refusal,
              Refusal::kNone);
    EXPECT_EQ(State(follower), TicketState::kMatchStarted);
    EXPECT_EQ(store_->GetMatch(Get(follower).match_id)->join_info, "{\"port\":7777}");
    // Late steps answer the status and change nothing.
    const uint32_t seq = Get(follower).seq;
    Cancel(follower);
    Accept(follower);
    EXPECT_EQ(tickets_.Start(Get(leader).identity, leader, "{}").refusal, Refusal::kNone);
    EXPECT_EQ(Get(follower).seq, seq);
}

TEST_P(StepsTest, EveryMemberSeesEachAcceptAsANewSeq) {
    MatchTwo();
    const uint32_t b_seq = Get(b_).seq;
    Accept(a_);
    EXPECT_EQ(Get(b_).seq, b_seq + 1);
    Accept(a_);
    EXPECT_EQ(Get(b_).seq, b_seq + 1);
}

TEST_P(StepsTest, AHardCancelDissolvesTheMatchAndASoftOneRequeuesEveryone) {
    for (const bool soft : {false, true}) {
        MatchTwo();
        Accept(b_);
        Cancel(a_, soft);
        EXPECT_EQ(State(a_), soft ? TicketState::kMatched : TicketState::kCancelled) << soft;
        EXPECT_EQ(State(b_), soft ? TicketState::kMatched : TicketState::kMatching) << soft;
        if (soft) {  // a re-formed match starts without accepts
            const std::optional<Match> rematch = store_->GetMatch(Get(b_).match_id);
            EXPECT_TRUE(rematch && rematch->accepted.empty());
        }
        Cancel(a_);
        Cancel(b_);
    }
}

TEST_P(StepsTest, WindowsDissolveAndTheAcceptedGoBackAheadOfNewerTickets) {
    for (const bool both_accept : {false, true}) {
        MatchTwo();
        const std::string old_match = Get(a_).match_id;
        Accept(a_);
        if (both_accept) {
            Accept(b_);  // the start window replaces the accept window
        }
        const std::string newer = Queue(kDuel);
        clock_.Advance(settings_.accept_window_ms - 2);
        clocks_.Tick();
        EXPECT_EQ(Get(a_).match_id, old_match);
        clock_.Advance(1);
        clocks_.Tick();
        // Back at the front: an accepted player is matched again before the
        // newer ticket, which only gets the place of one who did not accept.
        EXPECT_EQ(State(a_), TicketState::kMatched);
        EXPECT_NE(Get(a_).match_id, old_match);
        EXPECT_EQ(State(b_), both_accept ? TicketState::kMatched : TicketState::kCancelled);
        EXPECT_EQ(State(newer), both_accept ? TicketState::kMatching : TicketState::kMatched);
        for (const std::string& id : {a_, b_, newer}) {
            Cancel(id);
        }
    }
}

TEST_P(StepsTest, SilenceExpiresATicketAndEndsItsMatchThenRetentionForgetsIt) {
    settings_.accept_window_ms = 10 * settings_.keepalive_timeout_ms;
    const std::string lone = Queue(kTen);
    MatchTwo();
    clock_.Advance(settings_.keepalive_timeout_ms - 10);
    tickets_.KeepAlive(Get(b_).identity, b_);
    clock_.Advance(10);
    clocks_.Tick();
    EXPECT_EQ(State(lone), TicketState::kExpired);
    EXPECT_EQ(State(a_), TicketState::kExpired);
    EXPECT_EQ(State(b_), TicketState::kMatching);  // back in the pool, still alive
    clock_.Advance(settings_.retain_ms);
    clocks_.Tick();
    EXPECT_EQ(tickets_.KeepAlive(Identity(), lone).refusal, Refusal::kNotFound);
    EXPECT_FALSE(store_->GetTicket(a_));
    EXPECT_TRUE(store_->GetTicket(b_));  // expired later, retained longer
}

TEST_P(StepsTest, AHopperMaximumWaitExpiresAWaitingTicket) {
    std::string error;
    ASSERT_TRUE(Hoppers::Parse(R"([{"_id":"30ac7aba-e072-52cf-b30d-d88c2ff89f76","is_enabled":true,
                                    "maximum_wait_time":30,"players":10,"teams":[0.5,0.5]}])",
                               &hoppers_, &error))
        << error;
    const std::string waiting = Queue(kTen);
    clock_.Advance(29000);
    tickets_.KeepAlive(Get(waiting).identity, waiting);
    clocks_.Tick();
    EXPECT_EQ(State(waiting), TicketState::kMatching);
    clock_.Advance(1000);
    clocks_.Tick();
    EXPECT_EQ(State(waiting), TicketState::kExpired);
}

TEST_P(StepsTest, TicketRequestsAreRefusedByHopperAndParty) {
    const char* const kNoGroups = "0e6976d1-1655-5da5-8354-3d3a38537aed";
    const char* const kClosed = "dcb02466-a5de-5d58-8ce3-552e6c7747ae";
    std::string error;
    ASSERT_TRUE(Hoppers::Parse(
        std::string(R"([{"_id":"30ac7aba-e072-52cf-b30d-d88c2ff89f76","is_enabled":true,
                         "allow_groups":true,"players":10,"teams":[0.5,0.5]},
                        {"_id":")") +
            kNoGroups + R"(","is_enabled":true,"players":2,"teams":[0.5,0.5]},
                        {"_id":")" +
            kClosed + R"(","players":1,"teams":[1]}])",
        &hoppers_, &error))
        << error;
    struct Case {
        const char* hopper;
        std::string group_id;
        std::string second_group_id;
        int64_t group_size;
        Refusal refusal;
        const char* error;
    };
    const std::string identity = Identity();
    const Case cases[] = {
        {"6c9e0f4e-5d1b-4a8e-9c3f-2b1a0d9e8f7c", "", "", 0, Refusal::kNotFound, "hopper_not_found"},
        {"00000000-0000-0000-0000-000000000000", "", "", 0, Refusal::kNotFound, "hopper_not_found"},
        {kClosed, "", "", 0, Refusal::kConflict, "hopper_disabled"},
        {kNoGroups, kParty, "", 0, Refusal::kBadInput, "groups_not_allowed"},
        {kTen, kParty, kParty, 2, Refusal::kBadInput, "two_group_ids"},
        {kTen, "", kParty, 6, Refusal::kBadInput, "bad_group_size"},
        {kTen, "", kParty, 0, Refusal::kBadInput, "bad_group_size"},
        {kTen, "", kParty, 2, Refusal::kNone, ""},  // opens the party for the cases below
        {kTen, "", kParty, 3, Refusal::kConflict, "party_size_mismatch"},
        {kTen, kParty, "", 0, Refusal::kConflict, "already_in_party"},
    };
    for (const Case& c : cases) {
        TicketRequest request;
        request.hopper_id = c.hopper;
        request.group_id = c.group_id;
        request.second_group_id = c.second_group_id;
        request.group_size = c.group_size;
        const Outcome outcome = tickets_.Create(identity, request);
        EXPECT_EQ(outcome.refusal, c.refusal) << c.error;
        EXPECT_EQ(outcome.error, c.error);
    }
    TicketRequest joiner;
    joiner.hopper_id = kTen;
    joiner.group_id = kParty;
    EXPECT_EQ(tickets_.Create(Identity(), joiner).refusal, Refusal::kNone);
    EXPECT_EQ(tickets_.Create(Identity(), joiner).error, "party_full");
}

INSTANTIATE_TEST_SUITE_P(Memory, FormationTest, ::testing::Values(StoreFactory(&NewMemoryStore)));
INSTANTIATE_TEST_SUITE_P(Memory, StepsTest, ::testing::Values(StoreFactory(&NewMemoryStore)));

}  // namespace
}  // namespace server_test
