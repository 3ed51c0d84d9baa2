// Queueing and match formation at the three hopper sizes, and the status
// bodies that describe them.
#include "EmulatorFixture.h"
#include "emulator/Hopper.h"

namespace emulator_test {
namespace {

// The text the client library makes of a JSON text, for exact comparisons.
std::string Canonical(const std::string& json_text) {
    hy_json* value = hy_json_parse(json_text.c_str(), json_text.size());
    EXPECT_NE(value, nullptr) << json_text;
    char* text = hy_json_serialize(value, 0);
    std::string out = text != nullptr ? text : "";
    hy_free(text);
    hy_json_free(value);
    return out;
}

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

TEST_F(MatchFormationTest, SoloHopperMatchesDuringTheFirstKeepAlive) {
    const std::string ticket = NewTicket(0, kSoloHopper);
    EXPECT_EQ(emu().FindHopper(kSoloHopper)->match_size(), 1);
    const Status status = KeepAlive(ticket);
    EXPECT_EQ(status.seq, 1);
    EXPECT_EQ(status.state, "matched");
    EXPECT_EQ(status.estimated_hopper_size, 0);
    ASSERT_TRUE(status.has_group);
    EXPECT_EQ(status.group_size, 1);
    EXPECT_EQ(status.match_hopper_id, kSoloHopper);
    EXPECT_TRUE(status.accepted.empty());
    // A match of one has a single team.
    EXPECT_EQ(status.teams, (std::vector<std::vector<std::string>>{{Identity(0)}}));
    EXPECT_EQ(
        CountLines("Hopper::TryCreateMatches: Creating a new match with id " + status.match_id),
        1u);
}

TEST_F(MatchFormationTest, DuoHopperBodiesInTheBackendFormat) {
    const std::string a = NewTicket(0, kDuoHopper);
    const std::string b = NewTicket(1, kDuoHopper);
    lines_.clear();

    const Status lone = KeepAlive(a);
    EXPECT_EQ(lone.text, Canonical("{\"seq\":1,\"matchable_id\":" + Quoted(a) +
                                   ",\"hopper_id\":" + Quoted(kDuoHopper) +
                                   ",\"estimated_hopper_size\":1,\"state\":\"matching\"}"));
    EXPECT_TRUE(HasLine("[HYE][NFO] Hopper::MatchmakeClient: " + a + "\n"));
    EXPECT_TRUE(HasLine("[HYE][NFO] Hopper::MatchmakeClient: Adding client " + a +
                        " to hopper (new hopper size 1)\n"));
    EXPECT_TRUE(HasLine("[HYE][NFO] " + a + ": Client entering matchmaking\n"));

    // B's arrival forms the match: the newest-queued client comes first.
    const Status b_first = KeepAlive(b);
    EXPECT_EQ(b_first.state, "matched");
    EXPECT_EQ(b_first.seq, 1);
    const std::string id_a = Identity(0);
    const std::string id_b = Identity(1);
    EXPECT_EQ(b_first.joined, (std::vector<std::string>{id_b, id_a}));

    const Status a_matched = KeepAlive(a);
    const std::string match_body =
        ",\"hopper_id\":" + Quoted(kDuoHopper) +
        ",\"estimated_hopper_size\":0,\"state\":\"matched\",\"group_size\":2,"
        "\"group_members_joined\":[" +
        Quoted(id_b) + "," + Quoted(id_a) +
        "],\"match\":{\"accepted\":[],\"hopper_id\":" + Quoted(kDuoHopper) +
        ",\"id\":" + Quoted(b_first.match_id) + ",\"join_info\":{},\"params\":{},\"teams\":[[" +
        User(id_b) + "],[" + User(id_a) + "]]}}";
    EXPECT_EQ(a_matched.text, Canonical("{\"seq\":2,\"matchable_id\":" + Quoted(a) + match_body));

    // Lines of the forming request, in order.
    const std::vector<std::string> want = {
        "Hopper::MatchmakeClient: " + b,
        "Adding client " + b + " to hopper (new hopper size 2)",
        b + ": Client entering matchmaking",
        "Creating a new match with id " + b_first.match_id,
        b + ": Client found match",
        a + ": Client found match",
    };
    std::size_t at = 0;
    for (const std::string& line : lines_) {
        if (at < want.size() && line.find(want[at]) != std::string::npos) {
            ++at;
        }
    }
    EXPECT_EQ(at, want.size()) << "line " << at << " missing or out of order";
}

TEST_F(MatchFormationTest, TenthClientFormsTwoTeamsOfFiveAndTheEleventhWaits) {
    const std::vector<std::string> tickets = Queue(0, 9, kTenHopper);
    EXPECT_EQ(last_status_.state, "matching");
    EXPECT_EQ(last_status_.estimated_hopper_size, 9);
    EXPECT_FALSE(HasLine("Creating a new match"));

    const std::string tenth = NewTicket(9, kTenHopper);
    const Status formed = KeepAlive(tenth);
    EXPECT_EQ(formed.state, "matched");
    EXPECT_EQ(formed.group_size, 10);
    EXPECT_EQ(formed.estimated_hopper_size, 0);
    EXPECT_EQ(formed.joined, Identities({9, 8, 7, 6, 5, 4, 3, 2, 1, 0}));
    ASSERT_EQ(formed.teams.size(), 2u);
    EXPECT_EQ(formed.teams[0], Identities({9, 7, 5, 3, 1}));
    EXPECT_EQ(formed.teams[1], Identities({8, 6, 4, 2, 0}));
    // Everyone queued before is in the same match now.
    const Status first = KeepAlive(tickets[0]);
    EXPECT_EQ(first.state, "matched");
    EXPECT_EQ(first.match_id, formed.match_id);

    Queue(10, 1, kTenHopper);
    EXPECT_EQ(last_status_.state, "matching");
    EXPECT_EQ(last_status_.estimated_hopper_size, 1);
    EXPECT_FALSE(last_status_.has_group);
    EXPECT_EQ(CountLines("Creating a new match"), 1u);
}

TEST_F(MatchFormationTest, LeavingTheMiddleOfTheQueueKeepsTheOrder) {
    const std::vector<std::string> tickets = Queue(0, 9, kTenHopper);
    const Status gone = Cancel(tickets[4], false);
    EXPECT_EQ(gone.state, "cancelled");
    EXPECT_EQ(gone.estimated_hopper_size, 8);
    EXPECT_FALSE(emu().FindHopper(kTenHopper)->HoldsClient(tickets[4]));

    Queue(9, 1, kTenHopper);
    EXPECT_EQ(last_status_.state, "matching");
    Queue(10, 1, kTenHopper);
    EXPECT_EQ(last_status_.state, "matched");
    EXPECT_EQ(last_status_.joined, Identities({10, 9, 8, 7, 6, 5, 3, 2, 1, 0}));
    EXPECT_EQ(emu().FindHopper(kTenHopper)->waiting_count(), 0u);
}

TEST_F(MatchFormationTest, QueueIsTakenFromItsNewestEndAcrossSeveralMatches) {
    const std::vector<std::string> tickets = Queue(0, 6, kDuoHopper);
    // Each pair matched as soon as its second client arrived.
    for (int pair = 0; pair < 3; ++pair) {
        const Status status = KeepAlive(tickets[2 * pair]);
        EXPECT_EQ(status.joined, Identities({2 * pair + 1, 2 * pair})) << "pair " << pair;
    }
    EXPECT_EQ(emu().FindHopper(kDuoHopper)->open_match_count(), 3u);
}

TEST_F(MatchFormationTest, UnconfiguredHopperNeverFormsAMatch) {
    Queue(0, 3, kUnknownHopper);
    EXPECT_EQ(emu().FindHopper(kUnknownHopper)->match_size(), 0);
    EXPECT_EQ(last_status_.state, "matching");
    EXPECT_EQ(last_status_.estimated_hopper_size, 3);
    EXPECT_FALSE(last_status_.has_group);
    EXPECT_FALSE(HasLine("Creating a new match"));
    EXPECT_EQ(emu().FindHopper(kUnknownHopper)->open_match_count(), 0u);
}

TEST_F(MatchFormationTest, RepeatedKeepAlivesOnlyReportAndCountSeq) {
    const std::string a = NewTicket(0, kDuoHopper);
    EXPECT_EQ(KeepAlive(a).seq, 1);
    lines_.clear();
    const Status again = KeepAlive(a);
    EXPECT_EQ(again.seq, 2);
    EXPECT_EQ(again.estimated_hopper_size, 1);
    EXPECT_FALSE(HasLine("Adding client"));
    EXPECT_EQ(emu().FindHopper(kDuoHopper)->waiting_count(), 1u);
}

}  // namespace
}  // namespace emulator_test
