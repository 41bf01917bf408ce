// The cost of one frame of play at the worst load the rules allow
// (bench/worst_case.h).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "bench/worst_case.h"

namespace {

std::size_t allocations = 0;  // calls of the global operator new

WorstCase& Load() {
    static WorstCase load;
    return load;
}

// Argument 1: the passes scan the whole food list (the plain reference).
void BM_WorstCaseFrame(benchmark::State& state) {
    WorstCase& load = Load();
    load.start.foodGrid.plainScan = state.range(0) != 0;
    std::size_t steadyAllocations = 0;
    for (auto _ : state) {
        state.PauseTiming();
        load.Restore();
        const std::size_t before = allocations;
        state.ResumeTiming();
        load.g.game.Frame(load.focus);
        state.PauseTiming();
        steadyAllocations = std::max(steadyAllocations, allocations - before);
        state.ResumeTiming();
    }
    state.counters["allocations"] = static_cast<double>(steadyAllocations);
    state.counters["food"] = static_cast<double>(load.g.game.foodList.size());
    state.counters["munchets"] = static_cast<double>(load.g.game.munchetList.size());
}
BENCHMARK(BM_WorstCaseFrame)->ArgName("plain")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The food update alone, the part that grows with the square of the items.
void BM_WorstCaseFoodUpdate(benchmark::State& state) {
    WorstCase& load = Load();
    load.start.foodGrid.plainScan = state.range(0) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        load.Restore();
        state.ResumeTiming();
        load.g.game.UpdateFood(0.01f);
    }
}
BENCHMARK(BM_WorstCaseFoodUpdate)->ArgName("plain")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The eating pass alone: every munchet against every item near it.
void BM_WorstCaseEatingPass(benchmark::State& state) {
    WorstCase& load = Load();
    load.start.foodGrid.plainScan = state.range(0) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        load.Restore();
        state.ResumeTiming();
        load.g.game.EatingPass();
    }
}
BENCHMARK(BM_WorstCaseEatingPass)->ArgName("plain")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

// Counting replacements of the global allocation functions (the array and
// nothrow forms call these).
namespace {
[[gnu::noinline]] void* Take(std::size_t size) { return std::malloc(size ? size : 1); }
[[gnu::noinline]] void Give(void* p) { std::free(p); }
}  // namespace

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = Take(size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { Give(p); }
void operator delete(void* p, std::size_t) noexcept { Give(p); }

BENCHMARK_MAIN();
