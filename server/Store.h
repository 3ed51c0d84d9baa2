#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Records.h"

namespace KRHalyardServer {

// Thrown by a store whose backing service cannot be reached; the service
// answers 504 for the request, which the matchmaker recovers from.
class StoreUnavailable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct RecordRef {
    std::string id;
    uint64_t version = 0;  // the version read
};

// Records written together or not at all. Each record carries the version it
// was read with (0: must not exist yet); the commit fails when any of them
// moved since, so two formations can never put one ticket in two matches.
struct Batch {
    std::vector<Ticket> tickets;
    std::vector<Match> matches;
    std::vector<Party> parties;
    std::vector<RecordRef> dropped_tickets;
    std::vector<RecordRef> dropped_matches;
    std::vector<RecordRef> dropped_parties;
};

// A remembered answer to a request that carried an Idempotency-Key.
struct StoredAnswer {
    int status = 0;
    std::string body;
};

struct StoreCounts {
    std::map<TicketState, std::size_t> tickets;
    std::size_t matches = 0;
    std::size_t parties = 0;
    std::size_t answers = 0;
};

// Everything the service keeps. Formation, clocks and the routes reach state
// only through this interface, so a shared store can replace the in-memory
// one without touching them.
class Store {
public:
    using TicketWatcher = std::function<void(const Ticket&)>;

    virtual ~Store() = default;

    // Writes the batch (each record's version + 1) and returns true, or
    // returns false and writes nothing when a version has moved.
    virtual bool Commit(const Batch& batch) = 0;

    virtual std::optional<Ticket> GetTicket(const std::string& id) = 0;
    virtual std::optional<Match> GetMatch(const std::string& id) = 0;
    virtual std::optional<Party> GetParty(const std::string& id) = 0;

    // Tickets of a hopper in the pool (state matching), oldest queue
    // position first, at most limit of them.
    virtual std::vector<Ticket> Waiting(const std::string& hopper_id, std::size_t limit) = 0;
    virtual std::size_t WaitingCount(const std::string& hopper_id) = 0;
    virtual std::vector<Ticket> TicketsOf(const std::string& identity) = 0;

    // Ids of records whose due time is not after now, earliest first.
    virtual std::vector<std::string> TicketsDue(int64_t now_ms, std::size_t limit) = 0;
    virtual std::vector<std::string> MatchesDue(int64_t now_ms, std::size_t limit) = 0;

    // The identity's next event number: 1, 2, 3... never repeated.
    virtual uint64_t NextEventId(const std::string& identity) = 0;
    // The last number NextEventId gave the identity (0: none yet).
    virtual uint64_t LastEventId(const std::string& identity) = 0;

    virtual std::optional<StoredAnswer> Recall(const std::string& key, int64_t now_ms) = 0;
    virtual void Remember(const std::string& key, const StoredAnswer& answer, int64_t until_ms) = 0;
    // Drops remembered answers whose time has passed.
    virtual void ForgetAnswers(int64_t now_ms) = 0;

    // Called once for every ticket a commit writes, after the commit.
    virtual void Watch(TicketWatcher watcher) = 0;

    virtual StoreCounts Counts() = 0;
};

}  // namespace KRHalyardServer
