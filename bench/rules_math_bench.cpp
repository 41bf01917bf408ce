// The cost of one call of the rules' sine, cosine and friction power beside
// the C library's, over the inputs the rules give them: headings that have
// wandered to a few hundred radians and frame times of 1 to 100 ms.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "game/rules_math.h"

namespace {

constexpr int inputCount = 4096;

std::vector<float> Spread(float first, float last) {
    std::vector<float> values;
    for (int i = 0; i < inputCount; ++i)
        values.push_back(first +
                         (last - first) * static_cast<float>((i * 2654435761u) % inputCount) / inputCount);
    return values;
}

const std::vector<float>& Headings() {
    static const std::vector<float> headings = Spread(-300.0f, 300.0f);
    return headings;
}

const std::vector<float>& FrameTimes() {
    static const std::vector<float> frameTimes = Spread(0.001f, 0.1f);
    return frameTimes;
}

template <typename Function>
void Run(benchmark::State& state, const std::vector<float>& inputs, Function function) {
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(function(inputs[i]));
        i = (i + 1) % inputs.size();
    }
}

void BM_RulesSin(benchmark::State& state) { Run(state, Headings(), RulesSin); }
void BM_LibrarySinf(benchmark::State& state) {
    Run(state, Headings(), [](float x) { return std::sin(x); });
}
void BM_RulesCos(benchmark::State& state) { Run(state, Headings(), RulesCos); }
void BM_LibraryCosf(benchmark::State& state) {
    Run(state, Headings(), [](float x) { return std::cos(x); });
}
void BM_FrictionPower(benchmark::State& state) {
    Run(state, FrameTimes(), [](float dt) { return FrictionPower(0.75f, dt); });
}
void BM_LibraryPowf(benchmark::State& state) {
    Run(state, FrameTimes(), [](float dt) { return std::pow(0.75f, dt); });
}
BENCHMARK(BM_RulesSin);
BENCHMARK(BM_LibrarySinf);
BENCHMARK(BM_RulesCos);
BENCHMARK(BM_LibraryCosf);
BENCHMARK(BM_FrictionPower);
BENCHMARK(BM_LibraryPowf);

}  // namespace

BENCHMARK_MAIN();
