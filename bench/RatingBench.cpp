// Rating updates per second for a typical match: two teams of five players.
// Every iteration rates the same match from fresh copies of the records, so
// ratings never drift into a different numeric regime over the run; the copy
// of ten small records is part of the measured time.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
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

// The floor of an update: the exponentials, logarithms, square roots and
// divisions it cannot do without, each on its own input with nothing around
// them, so they overlap as far as the processor allows. Counted for the
// matches above:
// - Elo: two means, one exponential for the expected score and its quotient
//   (3 div, 1 exp); as written, with 10^(M/400) per team, 6 div and 2 pow.
// - Glicko-2: per opponent mu, phi and g (10 sqrt, 40 div); per player mu,
//   phi, five expected scores, v (50 exp, 80 div); per player the volatility
//   search, which for these players takes two logarithms and five
//   evaluations of f, three of them in Illinois steps (20 log, 50 exp,
//   130 div), the new volatility (10 exp), and phi* and phi' (20 sqrt,
//   30 div).
// - Bayesian: per pair c, two exponentials, both probabilities and both
//   teams' ratios (1 sqrt, 2 exp, 8 div); per team its sigma (2 sqrt); per
//   player his share and his new sigma (10 div, 10 sqrt).
struct Operations {
    int exp;
    int log;
    int sqrt;
    int div;
    int pow;
};

void BM_Floor(benchmark::State& state, Operations count) {
    // Arguments in the ranges the updates meet: exponents of a few units,
    // squared volatilities for the logarithms, positive variances.
    constexpr int kInputs = 64;
    std::array<double, kInputs> exponent;
    std::array<double, kInputs> positive;
    for (int i = 0; i < kInputs; ++i) {
        exponent[i] = -6.0 + 8.0 * i / kInputs;
        positive[i] = 0.003 + 40.0 * i / kInputs;
    }
    benchmark::DoNotOptimize(exponent.data());
    benchmark::DoNotOptimize(positive.data());
    for (auto _ : state) {
        for (int i = 0; i < count.exp; ++i) {
            double r = std::exp(exponent[i % kInputs]);
            benchmark::DoNotOptimize(r);
        }
        for (int i = 0; i < count.log; ++i) {
            double r = std::log(positive[i % kInputs]);
            benchmark::DoNotOptimize(r);
        }
        for (int i = 0; i < count.sqrt; ++i) {
            double r = std::sqrt(positive[i % kInputs]);
            benchmark::DoNotOptimize(r);
        }
        for (int i = 0; i < count.div; ++i) {
            double r = exponent[i % kInputs] / positive[(i + 7) % kInputs];
            benchmark::DoNotOptimize(r);
        }
        for (int i = 0; i < count.pow; ++i) {
            double r = std::pow(10.0, exponent[i % kInputs]);
            benchmark::DoNotOptimize(r);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}

// Interleaved with the updates, so each ratio is taken under the same load.
BENCHMARK(BM_Elo);
BENCHMARK_CAPTURE(BM_Floor, Elo, Operations{1, 0, 0, 3, 0});
BENCHMARK_CAPTURE(BM_Floor, EloAsWritten, Operations{0, 0, 0, 6, 2});
BENCHMARK(BM_Glicko2);
BENCHMARK_CAPTURE(BM_Floor, Glicko2, Operations{110, 20, 30, 280, 0});
BENCHMARK(BM_Bayesian);
BENCHMARK_CAPTURE(BM_Floor, Bayesian, Operations{2, 0, 13, 18, 0});

}  // namespace
