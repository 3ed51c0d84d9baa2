#pragma once

#include <set>
#include <unordered_map>
#include <utility>

#include "Store.h"

namespace KRHalyardServer {

// The store of one process: everything in memory, gone when it stops.
class MemoryStore : public Store {
public:
    bool Commit(const Batch& batch) override;

    std::optional<Ticket> GetTicket(const std::string& id) override;
    std::optional<Match> GetMatch(const std::string& id) override;
    std::optional<Party> GetParty(const std::string& id) override;

    std::vector<Ticket> Waiting(const std::string& hopper_id, std::size_t limit) override;
    std::size_t WaitingCount(const std::string& hopper_id) override;
    std::vector<Ticket> TicketsOf(const std::string& identity) override;

    std::vector<std::string> TicketsDue(int64_t now_ms, std::size_t limit) override;
    std::vector<std::string> MatchesDue(int64_t now_ms, std::size_t limit) override;

    uint64_t NextEventId(const std::string& identity) override;
    uint64_t LastEventId(const std::string& identity) override;

    std::optional<StoredAnswer> Recall(const std::string& key, int64_t now_ms) override;
    void Remember(const std::string& key, const StoredAnswer& answer, int64_t until_ms) override;
    void ForgetAnswers(int64_t now_ms) override;

    void Watch(TicketWatcher watcher) override;

    StoreCounts Counts() override;

private:
    // Pool order: queue position, then id, so equal times stay distinct.
    using PoolKey = std::pair<int64_t, std::string>;
    using DueKey = std::pair<int64_t, std::string>;

    template <typename Record>
    static bool VersionHolds(const std::unordered_map<std::string, Record>& table,
                             const std::string& id, uint64_t version);
    bool VersionsHold(const Batch& batch) const;
    void Unindex(const Ticket& ticket);
    void Index(const Ticket& ticket);
    void PutTicket(const Ticket& ticket);
    void DropTicket(const std::string& id);
    void PutMatch(Match match);
    void DropMatch(const std::string& id);

    std::unordered_map<std::string, Ticket> tickets_;
    std::unordered_map<std::string, Match> matches_;
    std::unordered_map<std::string, Party> parties_;
    std::unordered_map<std::string, std::set<PoolKey>> pools_;  // by hopper
    std::unordered_map<std::string, std::set<std::string>> by_identity_;
    std::set<DueKey> tickets_due_;
    std::set<DueKey> matches_due_;
    std::unordered_map<std::string, uint64_t> event_ids_;
    std::unordered_map<std::string, std::pair<StoredAnswer, int64_t>> answers_;
    std::set<DueKey> answers_due_;
    std::vector<TicketWatcher> watchers_;
};

}  // namespace KRHalyardServer
