#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

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

// Scratch space for one update. Null when memory is short, so that the update
// refuses instead of throwing through the C interface.
template <class T>
std::unique_ptr<T[]> TryAllocate(std::size_t count) {
    return std::unique_ptr<T[]>(new (std::nothrow) T[count]);
}

}  // namespace Rating
}  // namespace KRMatchmakingSystem
