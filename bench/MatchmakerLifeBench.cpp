// Creating and freeing one matchmaker while many others stay alive. A game
// replaces its task manager now and then and a server-side tool may run
// thousands of matchmakers: the cost of one creation must not depend on how
// many already exist, and what the others hold must be what they use.
#include <benchmark/benchmark.h>

#include <thread>
#include <vector>

#include "KRMatchmakingSystem.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// Bytes the C runtime holds from the system (0 where it cannot be read).
double HeldBytes() {
#if defined(__GLIBC__)
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.arena + info.hblkhd);
#else
    return 0.0;
#endif
}

void BM_CreateFreeWithOthersAlive(benchmark::State& state) {
    std::vector<krmm_matchmaker*> alive;
    for (int64_t i = 0; i < state.range(0); ++i) {
        alive.push_back(krmm_create_matchmaking(nullptr, "alive", 0));
    }
    for (auto _ : state) {
        krmm_matchmaker* matchmaker = krmm_create_matchmaking(nullptr, "probe", 0);
        benchmark::DoNotOptimize(matchmaker);
        krmm_free_matchmaking(matchmaker);
    }
    for (krmm_matchmaker* matchmaker : alive) {
        krmm_free_matchmaking(matchmaker);
    }
    state.SetItemsProcessed(state.iterations());
}

// Memory, one pass each; run each in a process of its own (--benchmark_filter)
// so that nothing held before skews it. held_per_alive: what each matchmaker
// alive (restarted once, as after its first attempt) adds to the memory the
// C runtime holds; held_after_free: what stays held per matchmaker once all
// are freed.
void BM_MemoryHeld(benchmark::State& state) {
    const double count = static_cast<double>(state.range(0));
    for (auto _ : state) {
        const double before = HeldBytes();
        std::vector<krmm_matchmaker*> alive;
        for (int64_t i = 0; i < state.range(0); ++i) {
            alive.push_back(krmm_create_matchmaking(nullptr, "alive", 0));
            krmm_restart(alive.back());
        }
        state.counters["held_per_alive"] = (HeldBytes() - before) / count;
        for (krmm_matchmaker* matchmaker : alive) {
            krmm_free_matchmaking(matchmaker);
        }
        state.counters["held_after_free"] = (HeldBytes() - before) / count;
    }
}

// grown_per_round: what the memory held grows by per matchmaker created on
// this thread and freed on another.
void BM_MemoryHeldFreedElsewhere(benchmark::State& state) {
    for (auto _ : state) {
        const double before = HeldBytes();
        for (int64_t i = 0; i < state.range(0); ++i) {
            krmm_matchmaker* matchmaker = krmm_create_matchmaking(nullptr, "handed over", 0);
            std::thread([matchmaker] { krmm_free_matchmaking(matchmaker); }).join();
        }
        state.counters["grown_per_round"] =
            (HeldBytes() - before) / static_cast<double>(state.range(0));
    }
}

BENCHMARK(BM_CreateFreeWithOthersAlive)->Arg(1)->Arg(1000)->Arg(10000);
BENCHMARK(BM_MemoryHeld)->Arg(1)->Arg(10000)->Iterations(1);
BENCHMARK(BM_MemoryHeldFreedElsewhere)->Arg(1000)->Iterations(1);

}  // namespace
