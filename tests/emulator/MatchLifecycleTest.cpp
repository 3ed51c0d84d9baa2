// Accept, promotion, start and the started snapshot, soft and hard cancel.
#include "EmulatorFixture.h"
#include "emulator/EmulatedClient.h"
#include "emulator/EmulatedTask.h"
#include "emulator/Hopper.h"

namespace emulator_test {
namespace {

using KRHalyardEmulator::TASK_TYPE_MATCHMAKE_CLIENT;

// Two clients matched in the duo hopper: the match's members are b, then a.
class MatchLifecycleTest : public EmulatorTest {
protected:
    void SetUp() override {
        EmulatorTest::SetUp();
        a_ = NewTicket(0, kDuoHopper);
        b_ = NewTicket(1, kDuoHopper);
        KeepAlive(a_);
        match_id_ = KeepAlive(b_).match_id;
        ASSERT_FALSE(match_id_.empty());
        lines_.clear();
    }
    KRHalyardEmulator::Hopper& hopper() { return *emu().FindHopper(kDuoHopper); }

    std::string a_;
    std::string b_;
    std::string match_id_;
};

TEST_F(MatchLifecycleTest, BothAcceptsPromoteBothInMemberOrder) {
    const Status a_accepted = Accept(a_);
    EXPECT_EQ(a_accepted.state, "matched");
    EXPECT_EQ(a_accepted.accepted, std::vector<std::string>{Identity(0)});
    EXPECT_EQ(KeepAlive(b_).state, "matched");
    EXPECT_TRUE(HasLine(a_ + ": Client accepted match"));

    const Status b_accepted = Accept(b_);
    EXPECT_EQ(b_accepted.state, "accepted");
    EXPECT_EQ(b_accepted.accepted, (std::vector<std::string>{Identity(1), Identity(0)}));
    EXPECT_EQ(KeepAlive(a_).state, "accepted");
    EXPECT_EQ(hopper().open_match_count(), 1u);
}

TEST_F(MatchLifecycleTest, StartBeforeEveryoneAcceptedChangesNothing) {
    Accept(a_);
    const Status refused = Start(a_);
    EXPECT_EQ(refused.state, "matched");
    EXPECT_EQ(refused.match_id, match_id_);
    EXPECT_TRUE(
        HasLine("[HYE][WRN] StartMatchForClient: Not everyone had accepted the match "
                "(client " +
                a_ + " tried to start it)\n"));
    EXPECT_FALSE(HasLine("started the match"));
    EXPECT_EQ(KeepAlive(b_).state, "matched");
    EXPECT_FALSE(hopper().HasStarted(a_));
    EXPECT_EQ(hopper().open_match_count(), 1u);
}

TEST_F(MatchLifecycleTest, StartByOneMemberStartsEveryoneWithAFrozenSnapshot) {
    Accept(a_);
    Accept(b_);
    const Status started = Start(a_);
    EXPECT_EQ(started.state, "match_started");
    EXPECT_EQ(started.match_id, match_id_);
    EXPECT_EQ(started.accepted, (std::vector<std::string>{Identity(1), Identity(0)}));
    EXPECT_TRUE(HasLine("[HYE][NFO] StartMatchForClient: Client " + a_ + " started the match\n"));
    EXPECT_TRUE(HasLine(b_ + ": Client started match"));
    EXPECT_EQ(hopper().open_match_count(), 0u);
    EXPECT_TRUE(hopper().HasStarted(a_));
    EXPECT_TRUE(hopper().HasStarted(b_));
    EXPECT_FALSE(hopper().HoldsClient(b_));

    // B's snapshot still describes the match, although the hopper dropped it,
    // and every later answer to B repeats it, whatever the request.
    lines_.clear();
    const Status b_keepalive = KeepAlive(b_);
    EXPECT_TRUE(HasLine("[HYE][NFO] Hopper::MatchmakeClient: Match already started\n"));
    EXPECT_EQ(b_keepalive.state, "match_started");
    EXPECT_EQ(b_keepalive.match_id, match_id_);
    EXPECT_EQ(b_keepalive.teams.size(), 2u);
    const Status b_accept = Answer(emu().MatchmakingAccept(b_.c_str()), TASK_TYPE_MATCHMAKE_CLIENT);
    EXPECT_TRUE(HasLine("[HYE][NFO] Hopper::Accept: Match already started\n"));
    const Status b_start =
        Answer(emu().MatchmakingStart(b_.c_str(), nullptr), TASK_TYPE_MATCHMAKE_CLIENT);
    EXPECT_TRUE(HasLine("[HYE][NFO] Hopper::Start: Match already started\n"));
    EXPECT_EQ(b_accept.text, b_keepalive.text);
    EXPECT_EQ(b_start.text, b_keepalive.text);
    EXPECT_EQ(KeepAlive(b_).text, b_keepalive.text);
    EXPECT_EQ(KeepAlive(a_).text, started.text);

    // A cancel finds the ticket only among the started clients.
    const Status late_cancel = Cancel(a_, false);
    EXPECT_FALSE(late_cancel.present);
    EXPECT_TRUE(
        HasLine("[HYE][WRN] Hopper::Cancel: Can't cancel - client " + a_ + " not in hopper\n"));
    EXPECT_EQ(KeepAlive(a_).text, started.text);
}

TEST_F(MatchLifecycleTest, HardCancelWhileMatchedDissolvesAndRequeuesTheOthers) {
    const Status gone = Cancel(b_, false);
    EXPECT_EQ(gone.state, "cancelled");
    EXPECT_FALSE(gone.has_group);
    EXPECT_EQ(gone.estimated_hopper_size, 1);
    EXPECT_FALSE(hopper().HoldsClient(b_));
    EXPECT_EQ(hopper().open_match_count(), 0u);

    const Status left = KeepAlive(a_);
    EXPECT_EQ(left.state, "matching");
    EXPECT_FALSE(left.has_group);

    // The next arrival pairs with the one left behind.
    const std::string c = NewTicket(2, kDuoHopper);
    const Status paired = KeepAlive(c);
    EXPECT_EQ(paired.joined, (std::vector<std::string>{Identity(2), Identity(0)}));
    EXPECT_NE(paired.match_id, match_id_);
}

TEST_F(MatchLifecycleTest, SoftCancelWhileMatchedRequeuesEveryoneAndForgetsAcceptance) {
    Accept(a_);
    const Status soft = Cancel(b_, true);
    // Both went back to the queue, b first, and at once formed a new match
    // from the newest end: a, then b.
    EXPECT_EQ(soft.state, "matched");
    EXPECT_NE(soft.match_id, match_id_);
    EXPECT_EQ(soft.joined, (std::vector<std::string>{Identity(0), Identity(1)}));
    // a's acceptance was for the dissolved match.
    EXPECT_TRUE(soft.accepted.empty());
    EXPECT_EQ(hopper().open_match_count(), 1u);
    EXPECT_EQ(CountLines("Client entering matchmaking"), 2u);
    // One accept each is needed again.
    EXPECT_EQ(Accept(b_).state, "matched");
    EXPECT_EQ(Accept(a_).state, "accepted");
}

TEST_F(MatchLifecycleTest, CancelOnceAcceptedIsIgnored) {
    Accept(a_);
    Accept(b_);
    EXPECT_EQ(Cancel(b_, false).state, "accepted");
    EXPECT_EQ(hopper().open_match_count(), 1u);
    EXPECT_EQ(Start(b_).state, "match_started");
}

TEST_F(MatchLifecycleTest, SeqCountsEveryBuildWhateverTheRequest) {
    const int64_t before = KeepAlive(a_).seq;
    EXPECT_EQ(Accept(a_).seq, before + 1);
    EXPECT_EQ(Start(a_).seq, before + 2);
    EXPECT_EQ(KeepAlive(a_).seq, before + 3);
}

class LoneClientTest : public EmulatorTest {};

TEST_F(LoneClientTest, SoftCancelWhileMatchingChangesNothingHardCancelRemoves) {
    const std::string a = NewTicket(0, kDuoHopper);
    KeepAlive(a);
    const Status soft = Cancel(a, true);
    EXPECT_EQ(soft.state, "matching");
    EXPECT_EQ(soft.estimated_hopper_size, 1);
    EXPECT_TRUE(emu().FindHopper(kDuoHopper)->HoldsClient(a));

    const Status hard = Cancel(a, false);
    EXPECT_EQ(hard.state, "cancelled");
    EXPECT_EQ(hard.estimated_hopper_size, 0);
    EXPECT_TRUE(HasLine(a + ": Client cancelled match"));

    // A second cancel has nothing left to cancel.
    const Status again = Cancel(a, false);
    EXPECT_FALSE(again.present);
    EXPECT_TRUE(HasLine("Can't cancel - client " + a + " not in hopper"));
}

TEST_F(LoneClientTest, RequestsBeforeTheFirstKeepAliveHaveNoClient) {
    const std::string a = NewTicket(0, kDuoHopper);
    for (const char* task :
         {emu().MatchmakingAccept(a.c_str()), emu().MatchmakingStart(a.c_str(), nullptr),
          emu().MatchmakingCancel(a.c_str(), false)}) {
        ASSERT_NE(emu().FindTask(task), nullptr);
        EXPECT_EQ(emu().FindTask(task)->client(), nullptr);
        EXPECT_EQ(emu().ResponseGetJson(task), nullptr);
        emu().TaskFree(task);
    }
    // The refused accept left no mark: the client still has to accept.
    EXPECT_FALSE(emu().FindClient(a.c_str())->accepted());
    EXPECT_EQ(KeepAlive(a).state, "matching");
}

TEST_F(LoneClientTest, StartWithoutAMatchWarns) {
    const std::string a = NewTicket(0, kDuoHopper);
    KeepAlive(a);
    const Status status = Start(a);
    EXPECT_EQ(status.state, "matching");
    EXPECT_TRUE(
        HasLine("[HYE][WRN] StartMatchForClient: Failed to find the match for client " + a + "\n"));
}

TEST_F(LoneClientTest, AcceptBeforeTheMatchFormsCountsForIt) {
    const std::string a = NewTicket(0, kDuoHopper);
    const std::string b = NewTicket(1, kDuoHopper);
    KeepAlive(a);
    EXPECT_EQ(Accept(a).state, "matching");
    KeepAlive(b);
    EXPECT_EQ(Accept(b).state, "accepted");
    EXPECT_EQ(KeepAlive(a).state, "accepted");
}

TEST_F(LoneClientTest, SoloMatchRunsToTheStart) {
    const std::string a = NewTicket(0, kSoloHopper);
    EXPECT_EQ(KeepAlive(a).state, "matched");
    EXPECT_EQ(Accept(a).state, "accepted");
    const Status started = Start(a);
    EXPECT_EQ(started.state, "match_started");
    EXPECT_EQ(started.teams, (std::vector<std::vector<std::string>>{{Identity(0)}}));
    const KRHalyardEmulator::Client* client = emu().FindClient(a.c_str());
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(client->state(), KRHalyardEmulator::CLIENT_MATCH_STARTED);
    EXPECT_NE(client->started_status(), nullptr);
}

TEST(ClientStateNames, TextsOfTheStatusStateMember) {
    const char* const names[] = {"matching",      "matched", "accepted",
                                 "match_started", "expired", "cancelled"};
    for (uint32_t state = 0; state < 6; ++state) {
        EXPECT_STREQ(KRHalyardEmulator::ClientStateName(state), names[state]);
    }
    EXPECT_STREQ(KRHalyardEmulator::ClientStateName(6), "<unknown state>");
    EXPECT_STREQ(KRHalyardEmulator::TaskTypeName(2), "TASK_TYPE_KEEP_ALIVE");
    EXPECT_STREQ(KRHalyardEmulator::TaskTypeName(6), "<unknown>");
}

}  // namespace
}  // namespace emulator_test
