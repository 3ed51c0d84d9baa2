#include "emulator/Hopper.h"

#include <algorithm>
#include <utility>

#include "emulator/EmulatedClient.h"
#include "emulator/EmulatedTask.h"
#include "emulator/HalyardEmulator.h"

namespace KRHalyardEmulator {

const std::vector<KnownHopper>& KnownHoppers() {
    static const std::vector<KnownHopper> hoppers = {
        {1, "dcb02466-a5de-5d58-8ce3-552e6c7747ae"},
        {2, "0e6976d1-1655-5da5-8354-3d3a38537aed"},
        {10, "30ac7aba-e072-52cf-b30d-d88c2ff89f76"},
    };
    return hoppers;
}

int32_t HopperMatchSize(const std::string& hopper_id) {
    for (const KnownHopper& hopper : KnownHoppers()) {
        if (hopper_id == hopper.id) {
            return hopper.match_size;
        }
    }
    return 0;
}

Hopper::Hopper(HalyardEmulator& emulator, std::string id)
    : emulator_(emulator), id_(std::move(id)), match_size_(HopperMatchSize(id_)) {}

Hopper::~Hopper() = default;

Task& Hopper::StatusTask(Client& client) {
    return emulator_.RegisterTask(std::make_unique<TaskMatchmakeClient>(emulator_, &client));
}

const Hopper::Place* Hopper::FindPlace(const Client& client) const {
    const auto found = clients_.find(client.ticket());
    return found != clients_.end() && found->second.client == &client ? &found->second : nullptr;
}

const Match* Hopper::FindMatch(const Client& client) const {
    const Place* place = FindPlace(client);
    return place != nullptr ? place->match : nullptr;
}

Task& Hopper::MatchmakeClient(Client& client) {
    const char* ticket = client.ticket().c_str();
    emulator_.EmulatorLog(EMU_LOG_INFO, "Hopper::MatchmakeClient: %s", ticket);
    if (HasStarted(client.ticket())) {
        emulator_.EmulatorLog(EMU_LOG_INFO, "Hopper::MatchmakeClient: Match already started");
        return StatusTask(client);
    }
    if (HoldsClient(client.ticket())) {
        return StatusTask(client);
    }
    AddClient(client);
    PromoteAccepted(TryCreateMatches());
    return StatusTask(client);
}

Task& Hopper::Accept(Client& client) {
    emulator_.EmulatorLog(EMU_LOG_INFO, "Hopper::Accept: %s", client.ticket().c_str());
    if (HasStarted(client.ticket())) {
        emulator_.EmulatorLog(EMU_LOG_INFO, "Hopper::Accept: Match already started");
        return StatusTask(client);
    }
    if (!HoldsClient(client.ticket())) {
        return emulator_.RegisterTask(std::make_unique<TaskAccept>(emulator_, nullptr));
    }
    client.AcceptMatch();
    Match* formed = TryCreateMatches();
    // Only the accepting client's match and a newly formed one can have
    // become fully accepted; every other open match is as it was.
    const Place* place = FindPlace(client);
    if (place != nullptr && place->match != formed) {
        PromoteAccepted(place->match);
    }
    PromoteAccepted(formed);
    return emulator_.RegisterTask(std::make_unique<TaskAccept>(emulator_, &client));
}

Task& Hopper::Start(Client& client) {
    emulator_.EmulatorLog(EMU_LOG_INFO, "Hopper::Start: %s", client.ticket().c_str());
    if (HasStarted(client.ticket())) {
        emulator_.EmulatorLog(EMU_LOG_INFO, "Hopper::Start: Match already started");
        return StatusTask(client);
    }
    if (!HoldsClient(client.ticket())) {
        return emulator_.RegisterTask(std::make_unique<TaskStart>(emulator_, nullptr));
    }
    StartMatchForClient(client);
    return emulator_.RegisterTask(std::make_unique<TaskStart>(emulator_, &client));
}

Task& Hopper::Cancel(Client& client, bool soft) {
    const char* ticket = client.ticket().c_str();
    emulator_.EmulatorLog(EMU_LOG_INFO, "Hopper::Cancel: %s", ticket);
    if (!HoldsClient(client.ticket())) {
        emulator_.EmulatorLog(EMU_LOG_WARNING,
                              "Hopper::Cancel: Can't cancel - client %s not in hopper", ticket);
        return emulator_.RegisterTask(std::make_unique<TaskCancel>(emulator_, nullptr));
    }
    if (client.state() == CLIENT_MATCHING) {
        if (!soft) {
            RemoveClient(client);
        }
    } else if (client.state() == CLIENT_MATCHED) {
        CancelMatchForClient(client, soft);
    }
    return emulator_.RegisterTask(std::make_unique<TaskCancel>(emulator_, &client));
}

void Hopper::AddClient(Client& client) {
    waiting_.push_back(&client);
    emulator_.EmulatorLog(
        EMU_LOG_INFO, "Hopper::MatchmakeClient: Adding client %s to hopper (new hopper size %i)",
        client.ticket().c_str(), static_cast<int>(waiting_.size()));
    Place& place = clients_[client.ticket()];
    place.client = &client;
    place.waiting_position = std::prev(waiting_.end());
    place.match = nullptr;
    client.EnterMatchmaking();
}

void Hopper::RemoveClient(Client& client) {
    const Place* place = FindPlace(client);
    if (place == nullptr) {
        return;
    }
    if (place->match == nullptr) {
        waiting_.erase(place->waiting_position);
    }
    clients_.erase(client.ticket());
    client.CancelMatch();
}

Match* Hopper::TryCreateMatches() {
    // A size of 0 would "form" empty matches at every attempt; forming
    // nothing is what a hopper nobody configured should do.
    if (match_size_ <= 0 || waiting_.size() < static_cast<std::size_t>(match_size_)) {
        return nullptr;
    }
    auto match = std::make_unique<Match>();
    match->id = emulator_.NewUuid();
    emulator_.EmulatorLog(EMU_LOG_INFO, "Hopper::TryCreateMatches: Creating a new match with id %s",
                          match->id.c_str());
    Match* formed = match.get();
    const MatchList::iterator position = matches_.insert(matches_.end(), std::move(match));
    formed->members.reserve(static_cast<std::size_t>(match_size_));
    for (int32_t i = 0; i < match_size_; ++i) {
        Client* member = waiting_.back();
        waiting_.pop_back();
        formed->members.push_back(member);
        Place& place = clients_[member->ticket()];
        place.match = formed;
        place.match_position = position;
    }
    for (Client* member : formed->members) {
        member->FoundMatch();
    }
    return formed;
}

// The hopper's rule is that any open match whose members have all accepted,
// none of them promoted yet, gets promoted. Promotion is all-or-nothing and
// lasts until the match starts or dissolves, so only a match that just formed
// or just got an acceptance can newly qualify; callers pass exactly those.
void Hopper::PromoteAccepted(Match* match) {
    if (match == nullptr) {
        return;
    }
    const auto& members = match->members;
    const bool all_accepted = std::all_of(members.begin(), members.end(),
                                          [](const Client* member) { return member->accepted(); });
    const bool any_promoted = std::any_of(members.begin(), members.end(), [](const Client* member) {
        return member->state() == CLIENT_ACCEPTED;
    });
    if (!all_accepted || any_promoted) {
        return;
    }
    for (Client* member : members) {
        member->PromoteToAccepted();
    }
}

void Hopper::StartMatchForClient(Client& client) {
    const char* ticket = client.ticket().c_str();
    const Place* place = FindPlace(client);
    if (place == nullptr || place->match == nullptr) {
        emulator_.EmulatorLog(
            EMU_LOG_WARNING, "StartMatchForClient: Failed to find the match for client %s", ticket);
        return;
    }
    Match* match = place->match;
    const MatchList::iterator position = place->match_position;
    for (const Client* member : match->members) {
        if (!member->accepted()) {
            emulator_.EmulatorLog(
                EMU_LOG_WARNING,
                "StartMatchForClient: Not everyone had accepted the match (client %s tried to "
                "start it)",
                ticket);
            return;
        }
    }
    emulator_.EmulatorLog(EMU_LOG_INFO, "StartMatchForClient: Client %s started the match", ticket);
    // Snapshots are taken while the match is still listed, so each describes it.
    for (Client* member : match->members) {
        member->StartMatch();
    }
    std::unique_ptr<Match> started = std::move(*position);
    matches_.erase(position);
    for (Client* member : started->members) {
        started_clients_[member->ticket()] = member;
        clients_.erase(member->ticket());
    }
}

void Hopper::CancelMatchForClient(Client& client, bool soft) {
    const Place* place = FindPlace(client);
    if (place == nullptr || place->match == nullptr) {
        return;
    }
    // AddClient rewrites the members' places, so take the match off them first.
    const MatchList::iterator position = place->match_position;
    std::unique_ptr<Match> dissolved = std::move(*position);
    for (Client* member : dissolved->members) {
        if (!soft && member == &client) {
            clients_.erase(member->ticket());
            member->CancelMatch();
        } else {
            AddClient(*member);
        }
    }
    matches_.erase(position);
    PromoteAccepted(TryCreateMatches());
}

}  // namespace KRHalyardEmulator
