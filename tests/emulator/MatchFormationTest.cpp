// Queueing and match formation, and the status bodies that describe them.
#include "EmulatorFixture.h"
#include "emulator/Hopper.h"

namespace emulator_test {
namespace {

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string User(const std::string& identity) {
    return "{\"identity_id\":" + Quoted(identity) + ",\"attributes\":{},\"values\":{}}";
}

class MatchFormationTest : public EmulatorTest {
protected:
    // Tickets of handles first..first+count-1, queued in that order.
    std::vector<std::string> Queue(int first, int count, const char* hopper) {
        std::vector<std::string> tickets;
        for (int i = first; i < first + count; ++i) {
            tickets.push_back(NewTicket(i, hopper));
            last_status_ = KeepAlive(tickets.back());
        }
        return tickets;
    }
    std::vector<std::string> Identities(const std::vector<int>& handles) {
        std::vector<std::string> out;
        for (int handle : handles) {
            out.push_back(Identity(handle));
        }
        return out;
    }
    Status last_status_;
};

TEST_F(MatchFormationTest, DuoHopperBodiesAndLinesInTheBackendFormat) {
    const std::string a = NewTicket(0, kDuoHopper);
    const std::string b = NewTicket(1, kDuoHopper);
    lines_.clear();
    EXPECT_EQ(KeepAlive(a).text, "{\"seq\":1,\"matchable_id\":" + Quoted(a) +
                                     ",\"hopper_id\":" + Quoted(kDuoHopper) +
                                     ",\"estimated_hopper_size\":1,\"state\":\"matching\"}");
    // A repeated keep-alive only reports, with the next "seq".
    const Status again = KeepAlive(a);
    EXPECT_EQ(again.seq, 2);
    EXPECT_EQ(again.estimated_hopper_size, 1);
    EXPECT_EQ(CountLines("Adding client"), 1u);

    // B's arrival forms the match: the newest-queued client comes first.
    const Status b_first = KeepAlive(b);
    const std::string id_a = Identity(0);
    const std::string id_b = Identity(1);
    EXPECT_EQ(b_first.seq, 1);
    EXPECT_EQ(KeepAlive(a).text,
              "{\"seq\":3,\"matchable_id\":" + Quoted(a) + ",\"hopper_id\":" + Quoted(kDuoHopper) +
                  ",\"estimated_hopper_size\":0,\"state\":\"matched\",\"group_size\":2,"
                  "\"group_members_joined\":[" +
                  Quoted(id_b) + "," + Quoted(id_a) +
                  "],\"match\":{\"accepted\":[],\"hopper_id\":" + Quoted(kDuoHopper) + ",\"id\":" +
                  Quoted(b_first.match_id) + ",\"join_info\":{},\"params\":{},\"teams\":[[" +
                  User(id_b) + "],[" + User(id_a) + "]]}}");

    EXPECT_TRUE(HasLine("[HYE][NFO] Hopper::TryCreateMatches: Creating a new match with id " +
                        b_first.match_id + "\n"));
}

// A client leaving the middle of the queue keeps the order of the rest; the
// tenth waiting client forms two teams of five, dealt newest first. (The
// simulator's full runs show the clients left over waiting on.)
TEST_F(MatchFormationTest, TenthWaitingClientFormsTwoTeamsOfFive) {
    const std::vector<std::string> tickets = Queue(0, 9, kTenHopper);
    EXPECT_EQ(last_status_.state, "matching");
    EXPECT_EQ(last_status_.estimated_hopper_size, 9);
    const Status gone = Cancel(tickets[4], false);
    EXPECT_EQ(gone.state, "cancelled");
    EXPECT_EQ(gone.estimated_hopper_size, 8);
    EXPECT_FALSE(Cancel(tickets[4], false).present);  // a hard cancel forgets the client
    Queue(9, 1, kTenHopper);
    EXPECT_EQ(last_status_.state, "matching");

    Queue(10, 1, kTenHopper);
    EXPECT_EQ(last_status_.joined, Identities({10, 9, 8, 7, 6, 5, 3, 2, 1, 0}));
    ASSERT_EQ(last_status_.teams.size(), 2u);
    EXPECT_EQ(last_status_.teams[0], Identities({10, 8, 6, 3, 1}));
    EXPECT_EQ(last_status_.teams[1], Identities({9, 7, 5, 2, 0}));
    EXPECT_EQ(KeepAlive(tickets[0]).match_id, last_status_.match_id);
    EXPECT_EQ(emu().FindHopper(kTenHopper)->waiting_count(), 0u);
}

TEST_F(MatchFormationTest, UnconfiguredHopperNeverFormsAMatch) {
    Queue(0, 3, kUnknownHopper);
    EXPECT_EQ(last_status_.state, "matching");
    EXPECT_EQ(last_status_.estimated_hopper_size, 3);
    EXPECT_FALSE(HasLine("Creating a new match"));
}

}  // namespace
}  // namespace emulator_test
