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

    // Every byte of every team and player record, for checking that a refused
    // update wrote nothing at all (NaN inputs included).
    std::vector<unsigned char> Snapshot() const {
        std::vector<unsigned char> bytes = Bytes(teams_);
        for (const std::vector<Player>& roster : rosters_) {
            const std::vector<unsigned char> more = Bytes(roster);
            bytes.insert(bytes.end(), more.begin(), more.end());
        }
        return bytes;
    }

private:
    template <class T>
    static std::vector<unsigned char> Bytes(const std::vector<T>& records) {
        const auto* begin = reinterpret_cast<const unsigned char*>(records.data());
        return std::vector<unsigned char>(begin, begin + records.size() * sizeof(T));
    }

    std::vector<std::vector<Player>> rosters_;
    std::vector<Team> teams_;
};
