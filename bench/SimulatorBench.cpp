// Players per second through the whole road (ticket, keep-alives, match,
// accept, leader start, restart to idle) in the emulator's hopper of ten, on
// simulated time. The cost per player should not grow with the number of
// players: the frame count of a session is set by the heartbeat and timeouts,
// not by the crowd, and every structure on the way is per player.

#include <benchmark/benchmark.h>

#include <string>

#include "Simulation.h"

namespace {

void BM_SimulatorHopperOfTen(benchmark::State& state) {
    KRSimulator::SimulationOptions options;
    options.players = static_cast<uint32_t>(state.range(0));
    options.hopper_id = KRSimulator::HopperIdForSize(10);
    options.progress_every_ms = 0;

    KRSimulator::SimulationSummary summary;
    for (auto _ : state) {
        std::string error;
        if (!KRSimulator::RunSimulation(options, &summary, &error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        // A run that lost players measures something else.
        if (summary.matches_started != options.players / 10 || summary.total_errors() != 0) {
            state.SkipWithError("not every player went through a started match");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(options.players));
    state.counters["frames"] = static_cast<double>(summary.frames);
    // krmm_process calls per second: the unit that should stay flat.
    state.counters["passes"] = benchmark::Counter(
        static_cast<double>(summary.frames) * options.players * state.iterations(),
        benchmark::Counter::kIsRate);
}

BENCHMARK(BM_SimulatorHopperOfTen)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
