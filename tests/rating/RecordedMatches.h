#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "KRMatchmakingSystem.h"

// The matches whose results RecordedResultsTest holds the updates to: the
// worked figures, a seeded set of random matches, and matches larger than the
// updates' fixed scratch space, so that both storage paths are covered.
// Inputs are drawn from the raw 64-bit Mersenne Twister output, which the
// language pins down exactly, so they are the same on every platform.
namespace KRMatchmakingSystem {

template <class Player>
struct RecordedMatch {
    std::string name;
    double parameter;  // tau for Glicko-2, beta squared for Bayesian
    std::vector<uint32_t> ranks;
    std::vector<std::vector<Player>> rosters;
};

class SeededDraw {
public:
    explicit SeededDraw(uint64_t seed) : engine_(seed) {}
    double Uniform(double low, double high) {
        return low + (high - low) * static_cast<double>(engine_() >> 11) * 0x1.0p-53;
    }
    uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(engine_() % bound); }

private:
    std::mt19937_64 engine_;
};

// Appends one match of every shape to matches, named after its team sizes.
// Each match draws its parameter, then each team's rank and players in turn.
template <class Player, class DrawPlayer>
std::vector<RecordedMatch<Player>> AddSeeded(std::vector<RecordedMatch<Player>> matches,
                                             uint64_t seed,
                                             const std::vector<std::vector<uint32_t>>& shapes,
                                             double low, double high, uint32_t ranks,
                                             DrawPlayer draw_player) {
    SeededDraw draw(seed);
    for (const auto& shape : shapes) {
        RecordedMatch<Player> match;
        match.name = "seeded";
        match.parameter = draw.Uniform(low, high);
        for (uint32_t count : shape) {
            match.name += (match.ranks.empty() ? " " : " v ") + std::to_string(count);
            match.ranks.push_back(1 + draw.Below(ranks));
            std::vector<Player> roster;
            for (uint32_t i = 0; i < count; ++i) {
                roster.push_back(draw_player(draw));
            }
            match.rosters.push_back(roster);
        }
        matches.push_back(match);
    }
    return matches;
}

inline std::vector<RecordedMatch<Glicko2Player>> RecordedGlicko2Matches() {
    return AddSeeded<Glicko2Player>(
        {
            {"even pair drawn", 0.5, {1, 1}, {{{1500, 350, 0.06}}, {{1500, 350, 0.06}}}},
            {"even pair, first wins", 0.5, {1, 2}, {{{1500, 350, 0.06}}, {{1500, 350, 0.06}}}},
        },
        20261207, {{5, 5}, {1, 4}, {6, 3}, {2, 2}, {17, 2}}, 0.3, 1.2, 2, [](SeededDraw& draw) {
            return Glicko2Player{draw.Uniform(1200, 1800), draw.Uniform(30, 350),
                                 draw.Uniform(0.04, 0.08)};
        });
}

inline std::vector<RecordedMatch<BayesianPlayer>> RecordedBayesianMatches() {
    const double beta_squared = (25.0 / 6.0) * (25.0 / 6.0);
    const BayesianPlayer fresh = {25.0, 25.0 / 3.0};
    return AddSeeded<BayesianPlayer>(
        {
            {"fresh pair", beta_squared, {1, 2}, {{fresh}, {fresh}}},
            // The runners-up drew at equal means: that game shifts no mean.
            {"three with tied runners-up", beta_squared, {1, 2, 2}, {{fresh}, {fresh}, {fresh}}},
            // Within a team the less certain player moves further.
            {"shares follow variance", beta_squared, {1, 2}, {{{30, 5}, {20, 8}}, {fresh}}},
        },
        7031, {{5, 5}, {1, 3, 2}, {4, 1, 6, 2}, {9, 9, 9}, {1, 1, 1, 1, 1, 1, 1, 1, 1}}, 5, 30, 3,
        [](SeededDraw& draw) {
            return BayesianPlayer{draw.Uniform(15, 35), draw.Uniform(1, 25.0 / 3.0)};
        });
}

}  // namespace KRMatchmakingSystem
