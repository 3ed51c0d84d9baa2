#include "MemoryStore.h"

#include <algorithm>

namespace KRHalyardServer {
namespace {

template <typename Record>
std::optional<Record> Lookup(const std::unordered_map<std::string, Record>& table,
                             const std::string& id) {
    const auto found = table.find(id);
    if (found == table.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::vector<std::string> Due(const std::set<std::pair<int64_t, std::string>>& index, int64_t now_ms,
                             std::size_t limit) {
    std::vector<std::string> ids;
    for (auto it = index.begin(); it != index.end() && it->first <= now_ms && ids.size() < limit;
         ++it) {
        ids.push_back(it->second);
    }
    return ids;
}

}  // namespace

template <typename Record>
bool MemoryStore::VersionHolds(const std::unordered_map<std::string, Record>& table,
                               const std::string& id, uint64_t version) {
    const auto found = table.find(id);
    return found == table.end() ? version == 0 : found->second.version == version;
}

bool MemoryStore::VersionsHold(const Batch& batch) const {
    auto all_hold = [](const auto& table, const auto& records) {
        return std::all_of(records.begin(), records.end(), [&](const auto& record) {
            return VersionHolds(table, record.id, record.version);
        });
    };
    return all_hold(tickets_, batch.tickets) && all_hold(matches_, batch.matches) &&
           all_hold(parties_, batch.parties) && all_hold(tickets_, batch.dropped_tickets) &&
           all_hold(matches_, batch.dropped_matches) && all_hold(parties_, batch.dropped_parties);
}

void MemoryStore::Unindex(const Ticket& ticket) {
    if (ticket.state == TicketState::kMatching) {
        auto pool = pools_.find(ticket.hopper_id);
        pool->second.erase({ticket.queued_ms, ticket.id});
        if (pool->second.empty()) {
            pools_.erase(pool);
        }
    }
    if (ticket.due_ms != 0) {
        tickets_due_.erase({ticket.due_ms, ticket.id});
    }
}

void MemoryStore::Index(const Ticket& ticket) {
    if (ticket.state == TicketState::kMatching) {
        pools_[ticket.hopper_id].insert({ticket.queued_ms, ticket.id});
    }
    if (ticket.due_ms != 0) {
        tickets_due_.insert({ticket.due_ms, ticket.id});
    }
}

void MemoryStore::PutTicket(const Ticket& ticket) {
    auto found = tickets_.find(ticket.id);
    if (found != tickets_.end()) {
        Unindex(found->second);
        found->second = ticket;  // assigning keeps the texts' storage
    } else {
        by_identity_[ticket.identity].insert(ticket.id);
        found = tickets_.emplace(ticket.id, ticket).first;
    }
    ++found->second.version;
    Index(found->second);
}

void MemoryStore::DropTicket(const std::string& id) {
    const auto found = tickets_.find(id);
    if (found == tickets_.end()) {
        return;
    }
    Unindex(found->second);
    auto owned = by_identity_.find(found->second.identity);
    owned->second.erase(id);
    if (owned->second.empty()) {
        by_identity_.erase(owned);
    }
    tickets_.erase(found);
}

void MemoryStore::PutMatch(Match match) {
    ++match.version;
    auto found = matches_.find(match.id);
    if (found != matches_.end() && found->second.due_ms != 0) {
        matches_due_.erase({found->second.due_ms, match.id});
    }
    if (match.due_ms != 0) {
        matches_due_.insert({match.due_ms, match.id});
    }
    matches_[match.id] = std::move(match);
}

void MemoryStore::DropMatch(const std::string& id) {
    const auto found = matches_.find(id);
    if (found == matches_.end()) {
        return;
    }
    if (found->second.due_ms != 0) {
        matches_due_.erase({found->second.due_ms, id});
    }
    matches_.erase(found);
}

bool MemoryStore::Commit(const Batch& batch) {
    if (!VersionsHold(batch)) {
        return false;
    }
    for (const Ticket& ticket : batch.tickets) {
        PutTicket(ticket);
    }
    for (const Match& match : batch.matches) {
        PutMatch(match);
    }
    for (Party party : batch.parties) {
        ++party.version;
        parties_[party.id] = std::move(party);
    }
    for (const RecordRef& ref : batch.dropped_tickets) {
        DropTicket(ref.id);
    }
    for (const RecordRef& ref : batch.dropped_matches) {
        DropMatch(ref.id);
    }
    for (const RecordRef& ref : batch.dropped_parties) {
        parties_.erase(ref.id);
    }
    // Watchers read the store: they run once every record is in place.
    for (const Ticket& written : batch.tickets) {
        const auto stored = tickets_.find(written.id);
        for (std::size_t i = 0; stored != tickets_.end() && i < watchers_.size(); ++i) {
            watchers_[i](stored->second);
        }
    }
    return true;
}

std::optional<Ticket> MemoryStore::GetTicket(const std::string& id) {
    return Lookup(tickets_, id);
}

std::optional<Match> MemoryStore::GetMatch(const std::string& id) {
    return Lookup(matches_, id);
}

std::optional<Party> MemoryStore::GetParty(const std::string& id) {
    return Lookup(parties_, id);
}

std::vector<Ticket> MemoryStore::Waiting(const std::string& hopper_id, std::size_t limit) {
    std::vector<Ticket> waiting;
    const auto pool = pools_.find(hopper_id);
    if (pool == pools_.end()) {
        return waiting;
    }
    for (const PoolKey& key : pool->second) {
        if (waiting.size() >= limit) {
            break;
        }
        waiting.push_back(tickets_.at(key.second));
    }
    return waiting;
}

std::size_t MemoryStore::WaitingCount(const std::string& hopper_id) {
    const auto pool = pools_.find(hopper_id);
    return pool == pools_.end() ? 0 : pool->second.size();
}

std::vector<Ticket> MemoryStore::TicketsOf(const std::string& identity) {
    std::vector<Ticket> owned;
    const auto ids = by_identity_.find(identity);
    if (ids != by_identity_.end()) {
        for (const std::string& id : ids->second) {
            owned.push_back(tickets_.at(id));
        }
    }
    return owned;
}

std::vector<std::string> MemoryStore::TicketsDue(int64_t now_ms, std::size_t limit) {
    return Due(tickets_due_, now_ms, limit);
}

std::vector<std::string> MemoryStore::MatchesDue(int64_t now_ms, std::size_t limit) {
    return Due(matches_due_, now_ms, limit);
}

uint64_t MemoryStore::NextEventId(const std::string& identity) {
    return ++event_ids_[identity];
}

uint64_t MemoryStore::LastEventId(const std::string& identity) {
    const auto found = event_ids_.find(identity);
    return found == event_ids_.end() ? 0 : found->second;
}

std::optional<StoredAnswer> MemoryStore::Recall(const std::string& key, int64_t now_ms) {
    const auto found = answers_.find(key);
    if (found == answers_.end() || found->second.second <= now_ms) {
        return std::nullopt;
    }
    return found->second.first;
}

void MemoryStore::Remember(const std::string& key, const StoredAnswer& answer, int64_t until_ms) {
    const auto found = answers_.find(key);
    if (found != answers_.end()) {
        answers_due_.erase({found->second.second, key});
    }
    answers_[key] = {answer, until_ms};
    answers_due_.insert({until_ms, key});
}

void MemoryStore::ForgetAnswers(int64_t now_ms) {
    while (!answers_due_.empty() && answers_due_.begin()->first <= now_ms) {
        answers_.erase(answers_due_.begin()->second);
        answers_due_.erase(answers_due_.begin());
    }
}

void MemoryStore::Watch(TicketWatcher watcher) {
    watchers_.push_back(std::move(watcher));
}

StoreCounts MemoryStore::Counts() {
    StoreCounts counts;
    for (const auto& entry : tickets_) {
        ++counts.tickets[entry.second.state];
    }
    counts.matches = matches_.size();
    counts.parties = parties_.size();
    counts.answers = answers_.size();
    return counts;
}

}  // namespace KRHalyardServer
