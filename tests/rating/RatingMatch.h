#pragma once

#include <cstdint>
#include <vector>

// A match laid out the way a game hands it to a rating update: team records
// pointing at player arrays in the caller's memory. The same shape serves all
// three methods.
template <class Team, class Player>
class RatingMatch {
public:
    RatingMatch& Add(uint32_t rank, std::vector<Player> players) {
        rosters_.push_back(std::move(players));
        teams_.push_back(Team{rank, nullptr, 0});
        // Re-pointed every time: adding a roster may move the others.
        for (std::size_t i = 0; i < rosters_.size(); ++i) {
            teams_[i].players = rosters_[i].empty() ? nullptr : rosters_[i].data();
            teams_[i].player_count = static_cast<uint32_t>(rosters_[i].size());
        }
        return *this;
    }

    Team* teams() { return teams_.data(); }
    uint32_t size() const { return static_cast<uint32_t>(teams_.size()); }
    const std::vector<Player>& roster(std::size_t team) const { return rosters_[team]; }

    // Every field of every team and every byte of every player record, for
    // checking that a refused update wrote nothing at all (NaN inputs
    // included). Team records are taken field by field: their padding bytes
    // are never written and would compare garbage.
    std::vector<unsigned char> Snapshot() const {
        std::vector<unsigned char> bytes;
        for (const Team& team : teams_) {
            Append(&bytes, &team.rank, 1);
            Append(&bytes, &team.players, 1);
            Append(&bytes, &team.player_count, 1);
        }
        for (const std::vector<Player>& roster : rosters_) {
            Append(&bytes, roster.data(), roster.size());
        }
        return bytes;
    }

private:
    template <class T>
    static void Append(std::vector<unsigned char>* bytes, const T* records, std::size_t count) {
        const auto* begin = reinterpret_cast<const unsigned char*>(records);
        bytes->insert(bytes->end(), begin, begin + count * sizeof(T));
    }

    std::vector<std::vector<Player>> rosters_;
    std::vector<Team> teams_;
};
