// The cost of one frame of play at the worst load the rules allow: 501 food
// items (no more can spawn) crowded around two focusing ghosts whose charge
// of 30 pulls every item on the field, and several hundred munchets.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "../tests/support/headless_game.h"

namespace {

std::size_t allocations = 0;  // calls of the global operator new

constexpr int foodCount = 501;
constexpr int munchetCount = 400;

// The loaded game, built once; every timed frame starts from `start`.
struct WorstCase {
    HeadlessGame g{2024};
    Game start;
    // Every timed frame's keys: both ghosts focus.
    const FrameInput focus = FrameInput{}.Hold(Key::Numpad0).Hold('G').Lasting(0.01f);

    WorstCase() {
        Game& game = g.game;
        game.playerCount = 2;
        game.StartGame();
        g.RunFrame(focus);
        game.gameOver = false;
        game.munchetList.clear();
        for (int i = 0; i < munchetCount; ++i) {
            Munchet m;
            m.init(game);
            m.place(-480.0f + static_cast<float>(i % 40) * 24.0f, 120.0f + static_cast<float>(i / 40) * 24.0f,
                    game.random);
            m.splitTimer = 1000;
            game.munchetList.push_back(m);
        }
        game.foodList.clear();
        for (int i = 0; i < foodCount; ++i) {
            const Player& p = game.players[static_cast<std::size_t>(i % 2)];
            const float a = game.random.Float(0, 6.2831853f), r = game.random.Float(0, 70);
            game.foodList.emplace_back(p.x + r * std::cos(a), p.y + r * std::sin(a));
        }
        // Let the crowd settle into the shape the flock rules give it.
        for (int frame = 0; frame < 300; ++frame) {
            for (Player& p : game.activePlayers()) p.charge = 30;
            for (std::size_t i = 0; i < game.foodList.size(); ++i)
                game.foodList[i].update(0.01f, game.foodList, game.activePlayers());
        }
        for (Player& p : game.activePlayers()) p.charge = 30;
        start = game;
    }

    void Restore() { g.game = start; }
};

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
