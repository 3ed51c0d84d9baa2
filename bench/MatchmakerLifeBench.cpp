// Creating and freeing one matchmaker while many others stay alive. A game
// replaces its task manager now and then and a server-side tool may run
// thousands of matchmakers: the cost of one creation must not depend on how
// many already exist.
#include <benchmark/benchmark.h>

#include <vector>

#include "KRMatchmakingSystem.h"

namespace {

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

BENCHMARK(BM_CreateFreeWithOthersAlive)->Arg(1)->Arg(1000)->Arg(10000);

}  // namespace
