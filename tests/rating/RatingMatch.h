#pragma once

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

// A match laid out the way a game hands it to a rating update: team records
// pointing at player arrays in the caller's memory. The same shape serves all
// three methods.
template <class Team, class Player>
class RatingMatch {
public:
    RatingMatch& Add(uint32_t rank, std::vector<Player> players) {
        ranks_.push_back(rank);
        rosters_.push_back(std::move(players));
        teams_.clear();
        for (std::size_t i = 0; i < rosters_.size(); ++i) {
            std::vector<Player>& roster = rosters_[i];
            teams_.push_back(Team{ranks_[i], roster.empty() ? nullptr : roster.data(),
                                  static_cast<uint32_t>(roster.size())});
        }
        return *this;
    }

    Team* teams() { return teams_.data(); }
    uint32_t size() const { return static_cast<uint32_t>(teams_.size()); }
    const std::vector<Player>& roster(std::size_t team) const { return rosters_[team]; }

    // Every byte of every team and player record, for checking that a refused
    // update wrote nothing at all (NaN inputs included).
    std::vector<unsigned char> Snapshot() const {
        std::vector<unsigned char> bytes;
        Append(&bytes, teams_.data(), teams_.size() * sizeof(Team));
        for (const std::vector<Player>& roster : rosters_) {
            Append(&bytes, roster.data(), roster.size() * sizeof(Player));
        }
        return bytes;
    }

private:
    static void Append(std::vector<unsigned char>* bytes, const void* data, std::size_t size) {
        const std::size_t old_size = bytes->size();
        bytes->resize(old_size + size);
        if (size > 0) {
            std::memcpy(bytes->data() + old_size, data, size);
        }
    }

    std::vector<uint32_t> ranks_;
    std::vector<std::vector<Player>> rosters_;
    std::vector<Team> teams_;
};
