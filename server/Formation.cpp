#include "Formation.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <optional>
#include <set>
#include <vector>

#include "Changes.h"
#include "Ids.h"

namespace KRHalyardServer {
namespace {

// A solo ticket, or every ticket of a complete party: placed together.
using Unit = std::vector<const Ticket*>;

// Units in pool order (a party at its oldest member's place). A party counts
// only once it is complete and every member is in the pool: one still
// without its first keep-alive, or in another match, holds it back.
std::vector<Unit> Units(Store& store, const std::vector<Ticket>& waiting) {
    std::vector<Unit> units;
    std::map<std::string, std::size_t> party_unit;
    std::map<std::string, std::size_t> party_size;  // 0: the party cannot play yet
    for (const Ticket& ticket : waiting) {
        if (ticket.party_id.empty()) {
            units.push_back({&ticket});
            continue;
        }
        auto size = party_size.find(ticket.party_id);
        if (size == party_size.end()) {
            const std::optional<Party> party = store.GetParty(ticket.party_id);
            const bool ready = party && party->Complete();
            size = party_size.emplace(ticket.party_id, ready ? party->size : 0).first;
        }
        if (size->second == 0) {
            continue;
        }
        const auto at = party_unit.find(ticket.party_id);
        if (at == party_unit.end()) {
            party_unit.emplace(ticket.party_id, units.size());
            units.push_back({&ticket});
        } else {
            units[at->second].push_back(&ticket);
        }
    }
    units.erase(std::remove_if(units.begin(), units.end(),
                               [&](const Unit& unit) {
                                   const std::string& party = unit.front()->party_id;
                                   return !party.empty() && unit.size() != party_size[party];
                               }),
                units.end());
    return units;
}

// Seats the units in the teams, largest unit first, each in the team with the
// most free seats that holds it: parties first, so solos placed earlier cannot
// split the seats a party needs. Empty when some unit finds no team.
std::vector<std::vector<std::size_t>> Seat(const std::vector<Unit>& units,
                                           std::vector<std::size_t> chosen,
                                           const std::vector<int32_t>& team_sizes) {
    std::stable_sort(chosen.begin(), chosen.end(), [&](std::size_t a, std::size_t b) {
        return units[a].size() > units[b].size();
    });
    std::vector<int32_t> free_seats = team_sizes;
    std::vector<std::vector<std::size_t>> teams(team_sizes.size());
    for (std::size_t index : chosen) {
        const int32_t need = static_cast<int32_t>(units[index].size());
        std::size_t best = free_seats.size();
        for (std::size_t team = 0; team < free_seats.size(); ++team) {
            if (free_seats[team] >= need &&
                (best == free_seats.size() || free_seats[team] > free_seats[best])) {
                best = team;
            }
        }
        if (best == free_seats.size()) {
            return {};
        }
        free_seats[best] -= need;
        teams[best].push_back(index);
    }
    return teams;
}

// Takes the oldest unused units that can still be seated together until every
// seat is taken, no identity twice. Empty when the pool cannot fill a match;
// otherwise the unit indexes per team, oldest first within a team.
std::vector<std::vector<std::size_t>> Pick(const std::vector<Unit>& units,
                                           const std::vector<bool>& used,
                                           const std::vector<int32_t>& team_sizes) {
    std::set<std::string> identities;
    std::vector<std::size_t> chosen;
    std::vector<std::vector<std::size_t>> teams;
    int32_t open = std::accumulate(team_sizes.begin(), team_sizes.end(), 0);
    for (std::size_t i = 0; i < units.size() && open > 0; ++i) {
        const Unit& unit = units[i];
        const int32_t need = static_cast<int32_t>(unit.size());
        const bool repeated = std::any_of(unit.begin(), unit.end(), [&](const Ticket* ticket) {
            return identities.count(ticket->identity) != 0;
        });
        if (used[i] || repeated || need > open) {
            continue;
        }
        chosen.push_back(i);
        auto seated = Seat(units, chosen, team_sizes);
        if (seated.empty()) {
            chosen.pop_back();
            continue;
        }
        teams = std::move(seated);
        open -= need;
        for (const Ticket* ticket : unit) {
            identities.insert(ticket->identity);
        }
    }
    if (open > 0) {
        return {};
    }
    for (auto& team : teams) {
        std::sort(team.begin(), team.end());
    }
    return teams;
}

}  // namespace

int Formation::Form(const std::string& hopper_id) {
    const Hopper* hopper = context_.hoppers.Find(hopper_id);
    if (hopper == nullptr) {
        return 0;
    }
    int formed = 0;
    for (int attempt = 0; attempt < kCommitAttempts; ++attempt) {
        const std::vector<Ticket> waiting =
            context_.store.Waiting(hopper_id, context_.settings.formation_scan);
        const std::vector<Unit> units = Units(context_.store, waiting);
        std::vector<bool> used(units.size(), false);
        bool conflict = false;
        while (!conflict) {
            const auto teams = Pick(units, used, hopper->team_sizes);
            if (teams.empty()) {
                break;
            }
            Match match;
            match.id = NewUuid();
            match.hopper_id = hopper_id;
            match.formed_ms = context_.Now();
            match.due_ms = match.formed_ms + context_.settings.accept_window_ms;
            Changes changes(context_);
            for (const auto& team_units : teams) {
                if (team_units.empty()) {
                    continue;  // a team of no seats is left out of the body
                }
                match.teams.emplace_back();
                for (std::size_t index : team_units) {
                    used[index] = true;
                    for (const Ticket* ticket : units[index]) {
                        match.teams.back().push_back({ticket->id, ticket->identity,
                                                      ticket->party_id, ticket->attributes,
                                                      ticket->values});
                        Ticket matched = *ticket;
                        matched.state = TicketState::kMatched;
                        matched.match_id = match.id;
                        changes.Put(std::move(matched), true);
                    }
                }
            }
            changes.Put(std::move(match));
            if (!changes.Commit()) {
                conflict = true;
                break;
            }
            context_.metrics.MatchFormed();
            ++formed;
        }
        if (!conflict) {
            return formed;
        }
    }
    return formed;
}

}  // namespace KRHalyardServer
