#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace KRHalyardEmulator {

class Client;
class HalyardEmulator;
class Task;

// A hopper the emulator knows, and the fixed size of its matches.
struct KnownHopper {
    int32_t match_size;
    const char* id;
};
// The three known hoppers, of match sizes 1, 2 and 10.
const std::vector<KnownHopper>& KnownHoppers();

// The fixed match size of a hopper id: that of a known hopper, 0 for any
// other id.
int32_t HopperMatchSize(const std::string& hopper_id);

// An open match of a hopper.
struct Match {
    std::string id;
    // Newest-queued client first.
    std::vector<Client*> members;
};

// One matchmaking queue. Clients enter with their first keep-alive, wait,
// are grouped into a match of the hopper's size as soon as enough wait, then
// accept, start or cancel. Nothing happens between requests.
//
// A client is in at most one place at a time: waiting, or a member of exactly
// one open match (members only ever come from the waiting list, and go back to
// it only once their match is dissolved). The hopper therefore keeps, per
// ticket, where its client is, so that finding a client's match, leaving the
// waiting list and dissolving a match cost no scan of the queue: a busy hopper
// stays linear.
//
// A hopper of size 0 (an unknown id) forms no matches: its clients wait, and
// report "matching", for as long as they keep the ticket alive.
class Hopper {
public:
    Hopper(HalyardEmulator& emulator, std::string id);
    ~Hopper();

    Hopper(const Hopper&) = delete;
    Hopper& operator=(const Hopper&) = delete;

    const std::string& id() const { return id_; }
    int32_t match_size() const { return match_size_; }

    // Behind the keep-alive, accept, start and cancel of a client of this
    // hopper; each returns the registered task that answers the request.
    Task& MatchmakeClient(Client& client);
    Task& Accept(Client& client);
    Task& Start(Client& client);
    Task& Cancel(Client& client, bool soft);

    // The open match that has client among its members, or null.
    const Match* FindMatch(const Client& client) const;
    std::size_t waiting_count() const { return waiting_.size(); }
    std::size_t open_match_count() const { return matches_.size(); }
    // True for a client waiting or in an open match.
    bool HoldsClient(const std::string& ticket) const { return clients_.count(ticket) != 0; }
    bool HasStarted(const std::string& ticket) const { return started_clients_.count(ticket) != 0; }

private:
    using MatchList = std::list<std::unique_ptr<Match>>;

    // Where a client of clients_ is: in waiting_ (match == null) or a member
    // of *match.
    struct Place {
        Client* client = nullptr;
        std::list<Client*>::iterator waiting_position;
        MatchList::iterator match_position;
        Match* match = nullptr;
    };

    Task& StatusTask(Client& client);
    void AddClient(Client& client);
    void RemoveClient(Client& client);
    // Forms at most one match; returns it, or null.
    Match* TryCreateMatches();
    // Promotes the members of match once all of them have accepted.
    void PromoteAccepted(Match* match);
    void StartMatchForClient(Client& client);
    void CancelMatchForClient(Client& client, bool soft);
    // Where client is, or null when this hopper does not hold it.
    const Place* FindPlace(const Client& client) const;

    HalyardEmulator& emulator_;
    std::string id_;
    int32_t match_size_;
    std::list<Client*> waiting_;
    MatchList matches_;
    std::unordered_map<std::string, Client*> started_clients_;
    std::unordered_map<std::string, Place> clients_;
};

}  // namespace KRHalyardEmulator
