// Accept, promotion, start and the started snapshot, soft and hard cancel.
#include "EmulatorFixture.h"
#include "emulator/EmulatedClient.h"
#include "emulator/EmulatedTask.h"
#include "emulator/Hopper.h"

namespace emulator_test {
namespace {

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

    std::string a_;
    std::string b_;
    std::string match_id_;
};

TEST_F(MatchLifecycleTest, AcceptsPromoteTogetherAndOneStartStartsEveryoneWithASnapshot) {
    const Status a_accepted = Accept(a_);
    EXPECT_EQ(a_accepted.state, "matched");
    EXPECT_EQ(a_accepted.accepted, std::vector<std::string>{Identity(0)});
    // No start before everyone accepted.
    EXPECT_EQ(Start(a_).state, "matched");

    const Status b_accepted = Accept(b_);
    EXPECT_EQ(b_accepted.state, "accepted");
    EXPECT_EQ(b_accepted.accepted, (std::vector<std::string>{Identity(1), Identity(0)}));
    EXPECT_EQ(b_accepted.seq, 2);  // every build takes a "seq", whatever the request
    EXPECT_EQ(Cancel(b_, false).state, "accepted");  // too late to cancel
    const Status started = Start(a_);
    EXPECT_EQ(started.state, "match_started");
    EXPECT_EQ(started.match_id, match_id_);
    EXPECT_EQ(emu().FindHopper(kDuoHopper)->open_match_count(), 0u);

    // B's snapshot still describes the match, although the hopper dropped it,
    // and every later answer to B repeats it, whatever the request.
    const Status b_keepalive = KeepAlive(b_);
    EXPECT_EQ(b_keepalive.state, "match_started");
    EXPECT_EQ(b_keepalive.match_id, match_id_);

    for (const char* task :
         {emu().MatchmakingAccept(b_.c_str()), emu().MatchmakingStart(b_.c_str(), nullptr)}) {
        EXPECT_EQ(Answer(task, KRHalyardEmulator::TASK_TYPE_MATCHMAKE_CLIENT).text,
                  b_keepalive.text);
    }
    EXPECT_EQ(KeepAlive(a_).text, started.text);

    // A cancel finds the ticket only among the started clients.
    EXPECT_FALSE(Cancel(a_, false).present);
    EXPECT_EQ(KeepAlive(a_).text, started.text);
}

TEST_F(MatchLifecycleTest, HardCancelWhileMatchedDissolvesAndRequeuesTheOthers) {
    const Status gone = Cancel(b_, false);
    EXPECT_EQ(gone.state, "cancelled");
    EXPECT_TRUE(gone.match_id.empty());
    EXPECT_EQ(gone.estimated_hopper_size, 1);
    EXPECT_EQ(KeepAlive(a_).state, "matching");

    // The next arrival pairs with the one left behind.
    const Status paired = KeepAlive(NewTicket(2, kDuoHopper));
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
    // a's acceptance was for the dissolved match: one accept each is needed again.
    EXPECT_TRUE(soft.accepted.empty());
    EXPECT_EQ(Accept(b_).state, "matched");
    EXPECT_EQ(Accept(a_).state, "accepted");
}

using LoneClientTest = EmulatorTest;

TEST_F(LoneClientTest, WaitingAloneNothingButAnAcceptSticks) {
    const std::string a = NewTicket(0, kDuoHopper);
    // Before its first keep-alive the hopper does not hold the client.
    for (const char* task :
         {emu().MatchmakingAccept(a.c_str()), emu().MatchmakingStart(a.c_str(), nullptr)}) {
        EXPECT_EQ(emu().ResponseGetJson(task), nullptr);
        emu().TaskFree(task);
    }
    EXPECT_FALSE(emu().FindClient(a.c_str())->accepted());  // the refused accept left no mark
    EXPECT_EQ(KeepAlive(a).state, "matching");
    EXPECT_EQ(Start(a).state, "matching");
    EXPECT_TRUE(
        HasLine("[HYE][WRN] StartMatchForClient: Failed to find the match for client " + a + "\n"));
    EXPECT_EQ(Cancel(a, true).state, "matching");  // a soft cancel keeps it waiting

    // An accept sent while matching counts for the match that forms next.
    EXPECT_EQ(Accept(a).state, "matching");
    const std::string b = NewTicket(1, kDuoHopper);
    KeepAlive(b);
    EXPECT_EQ(Accept(b).state, "accepted");
}

}  // namespace
}  // namespace emulator_test
