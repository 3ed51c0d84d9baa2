#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>

// Pieces shared by the three rating updates; internal to the library.
namespace KRMatchmakingSystem {
namespace Rating {

// A side's score from the two finishing positions: the lower rank wins, equal
// ranks draw.
inline double ActualScore(uint32_t own_rank, uint32_t other_rank) {
    if (own_rank < other_rank) {
        return 1.0;
    }
    if (own_rank > other_rank) {
        return 0.0;
    }
    return 0.5;
}

// A team can be rated only when it has players behind a readable pointer.
template <class Team>
bool HasPlayers(const Team& team) {
    return team.player_count > 0 && team.players != nullptr;
}

// Scratch space for one update: a fixed buffer inside the object for the
// sizes real matches have, the heap only beyond that. T must be trivial, so
// the fixed buffer costs nothing until it is written.
template <class T, std::size_t kFixed>
class Scratch {
public:
    static_assert(std::is_trivial<T>::value, "scratch records are written before they are read");

    // False when memory is short, so that the update refuses instead of
    // throwing through the C interface.
    bool Reserve(std::size_t count) {
        if (count <= kFixed) {
            data_ = fixed_;
            return true;
        }
        spill_.reset(new (std::nothrow) T[count]);
        data_ = spill_.get();
        return data_ != nullptr;
    }
    T* data() { return data_; }
    T& operator[](std::size_t i) { return data_[i]; }

private:
    T fixed_[kFixed];
    std::unique_ptr<T[]> spill_;
    T* data_ = nullptr;
};

}  // namespace Rating
}  // namespace KRMatchmakingSystem
