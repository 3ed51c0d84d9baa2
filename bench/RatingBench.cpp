// Rating updates per second for a typical match: two teams of five players.
// Every iteration rates the same match from fresh copies of the records, so
// ratings never drift into a different numeric regime over the run; the copy
// of ten small records is part of the measured time.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "rating/Bayesian.h"
#include "rating/Elo.h"
#include "rating/Glicko2.h"

namespace {

using namespace KRMatchmakingSystem;

constexpr std::size_t kTeamSize = 5;

template <class Player>
using Roster = std::array<Player, kTeamSize>;

// Rates `red` (winner) against `blue` with the given update until the
// benchmark stops, and reports matches rated per second.
template <class Team, class Player, class Update>
void RateMatches(benchmark::State& state, const Roster<Player>& red, const Roster<Player>& blue,
                 Update update) {
    for (auto _ : state) {
        Roster<Player> a = red;
        Roster<Player> b = blue;
        Team teams[2] = {{1, a.data(), kTeamSize}, {2, b.data(), kTeamSize}};
        bool rated = update(teams);
        benchmark::DoNotOptimize(rated);
        benchmark::DoNotOptimize(a.data());
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_Elo(benchmark::State& state) {
    const Roster<EloPlayer> red = {{{1620, 32}, {1480, 24}, {1550, 16}, {1505, 32}, {1590, 20}}};
    const Roster<EloPlayer> blue = {{{1510, 40}, {1700, 10}, {1430, 32}, {1560, 24}, {1490, 16}}};
    RateMatches<EloTeam>(state, red, blue, [](EloTeam* teams) { return EloUpdate(teams, 2); });
}

void BM_Glicko2(benchmark::State& state) {
    const Roster<Glicko2Player> red = {{{1620, 80, 0.06},
                                        {1480, 200, 0.05},
                                        {1550, 120, 0.06},
                                        {1505, 350, 0.06},
                                        {1590, 60, 0.058}}};
    const Roster<Glicko2Player> blue = {{{1510, 50, 0.07},
                                         {1700, 300, 0.06},
                                         {1430, 120, 0.059},
                                         {1560, 90, 0.06},
                                         {1490, 250, 0.061}}};
    RateMatches<Glicko2Team>(state, red, blue,
                             [](Glicko2Team* teams) { return Glicko2Update(0.5, teams, 2); });
}

void BM_Bayesian(benchmark::State& state) {
    const Roster<BayesianPlayer> red = {{{28, 4}, {21, 7}, {25, 8.33}, {30, 3}, {24, 6}}};
    const Roster<BayesianPlayer> blue = {{{26, 2}, {23, 5}, {19, 8}, {27, 4.5}, {25, 8.33}}};
    RateMatches<BayesianTeam>(state, red, blue, [](BayesianTeam* teams) {
        return BayesianUpdate((25.0 / 6.0) * (25.0 / 6.0), teams, 2);
    });
}

BENCHMARK(BM_Elo);
BENCHMARK(BM_Glicko2);
BENCHMARK(BM_Bayesian);

}  // namespace
