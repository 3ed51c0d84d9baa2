// What every store must do: all-or-nothing commits guarded by versions, the
// pool and due indexes, watchers, event numbers and remembered answers.
#include "CoreFixture.h"

namespace server_test {
namespace {

class StoreTest : public ::testing::TestWithParam<StoreFactory> {
protected:
    StoreTest() : store_(GetParam()()) {}

    static Ticket Waiting(const std::string& id, const char* hopper, int64_t queued_ms) {
        Ticket ticket;
        ticket.id = id;
        ticket.identity = "identity-of-" + id;
        ticket.hopper_id = hopper;
        ticket.state = TicketState::kMatching;
        ticket.queued_ms = queued_ms;
        ticket.due_ms = 1000 + queued_ms;
        return ticket;
    }

    bool Put(const Ticket& ticket) {
        Batch batch;
        batch.tickets.push_back(ticket);
        return store_->Commit(batch);
    }

    std::vector<std::string> Ids(const std::vector<Ticket>& tickets) {
        std::vector<std::string> ids;
        for (const Ticket& ticket : tickets) {
            ids.push_back(ticket.id);
        }
        return ids;
    }

    std::unique_ptr<Store> store_;
};

TEST_P(StoreTest, ACommitWithAMovedVersionWritesNothing) {
    ASSERT_TRUE(Put(Waiting("a", kDuel, 1)));
    EXPECT_FALSE(Put(Waiting("a", kDuel, 1)));  // version 0: must not exist
    Ticket a = *store_->GetTicket("a");
    EXPECT_EQ(a.version, 1u);

    Batch batch;
    Ticket fresh = Waiting("b", kDuel, 2);
    Ticket stale = a;
    stale.version = 7;
    stale.state = TicketState::kCancelled;
    batch.tickets = {fresh, stale};
    EXPECT_FALSE(store_->Commit(batch));
    EXPECT_FALSE(store_->GetTicket("b"));
    EXPECT_EQ(store_->GetTicket("a")->state, TicketState::kMatching);

    Match match;
    match.id = "m";
    batch = Batch();
    a.state = TicketState::kMatched;
    batch.tickets = {a};
    batch.matches = {match};
    ASSERT_TRUE(store_->Commit(batch));
    EXPECT_EQ(store_->GetTicket("a")->version, 2u);
    batch = Batch();
    batch.dropped_matches = {{"m", 0}};  // read before it existed
    EXPECT_FALSE(store_->Commit(batch));
    batch.dropped_matches = {{"m", 1}};
    EXPECT_TRUE(store_->Commit(batch));
    EXPECT_FALSE(store_->GetMatch("m"));
}

TEST_P(StoreTest, ThePoolHoldsMatchingTicketsOldestFirstAndTheDueIndexFollowsWrites) {
    ASSERT_TRUE(Put(Waiting("c", kTen, 30)));
    ASSERT_TRUE(Put(Waiting("a", kTen, 10)));
    ASSERT_TRUE(Put(Waiting("b", kTen, 20)));
    ASSERT_TRUE(Put(Waiting("x", kDuel, 5)));
    Ticket outside = Waiting("d", kTen, 1);
    outside.state = TicketState::kInitialWaiting;
    ASSERT_TRUE(Put(outside));

    EXPECT_EQ(Ids(store_->Waiting(kTen, 10)), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(Ids(store_->Waiting(kTen, 2)), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(store_->WaitingCount(kTen), 3u);
    EXPECT_EQ(store_->TicketsDue(1020, 10), (std::vector<std::string>{"d", "x", "a", "b"}));
    EXPECT_EQ(store_->TicketsDue(1020, 1), (std::vector<std::string>{"d"}));

    // Leaving the pool, moving its due time, being dropped.
    Ticket a = *store_->GetTicket("a");
    a.state = TicketState::kMatched;
    a.due_ms = 5000;
    ASSERT_TRUE(Put(a));
    Batch drop;
    drop.dropped_tickets = {{"b", 1}};
    ASSERT_TRUE(store_->Commit(drop));
    EXPECT_EQ(Ids(store_->Waiting(kTen, 10)), (std::vector<std::string>{"c"}));
    EXPECT_EQ(store_->TicketsDue(1040, 10), (std::vector<std::string>{"d", "x", "c"}));
    EXPECT_EQ(Ids(store_->TicketsOf("identity-of-b")), std::vector<std::string>{});
    EXPECT_EQ(Ids(store_->TicketsOf("identity-of-a")), std::vector<std::string>{"a"});
}

TEST_P(StoreTest, WatchersSeeEachWrittenTicketOnceTheWholeBatchIsIn) {
    std::vector<std::string> seen;
    store_->Watch([&](const Ticket& ticket) {
        // The batch's match is already readable from inside the watcher.
        seen.push_back(ticket.id + (store_->GetMatch("m") ? "+m" : ""));
    });
    Batch batch;
    batch.tickets = {Waiting("a", kDuel, 1), Waiting("b", kDuel, 2)};
    Match match;
    match.id = "m";
    batch.matches = {match};
    ASSERT_TRUE(store_->Commit(batch));
    batch.tickets = {Waiting("c", kDuel, 3)};  // the match's version moved: nothing
    EXPECT_FALSE(store_->Commit(batch));
    EXPECT_EQ(seen, (std::vector<std::string>{"a+m", "b+m"}));
}

TEST_P(StoreTest, EventNumbersCountPerIdentityAndAnswersAreForgottenInTime) {
    EXPECT_EQ(store_->NextEventId("p"), 1u);
    EXPECT_EQ(store_->NextEventId("p"), 2u);
    EXPECT_EQ(store_->NextEventId("q"), 1u);
    EXPECT_EQ(store_->LastEventId("p"), 2u);
    EXPECT_EQ(store_->LastEventId("r"), 0u);

    store_->Remember("k", {201, "{}"}, 1000);
    ASSERT_TRUE(store_->Recall("k", 999));
    EXPECT_EQ(store_->Recall("k", 999)->status, 201);
    EXPECT_FALSE(store_->Recall("k", 1000));
    store_->ForgetAnswers(1000);
    EXPECT_EQ(store_->Counts().answers, 0u);
}

INSTANTIATE_TEST_SUITE_P(Memory, StoreTest, ::testing::Values(StoreFactory(&NewMemoryStore)));

}  // namespace
}  // namespace server_test
