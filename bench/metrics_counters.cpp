// What one request's counting costs the server: routing its target and
// bumping its counters, from one thread and from eight at once on the same
// route (the worst case: every thread on the same cache lines). Compare the
// time with a request's whole cost in bench_server_load.
#include <benchmark/benchmark.h>

#include <chrono>

#include "server/http/server_metrics.h"

namespace {

ServerMetrics metrics;

void CountView(benchmark::State& state) {
    const std::string_view target = "/hosted/vlkn/scores/pr/view.php";
    for (auto _ : state)
        metrics.RequestDone(ServerMetrics::RouteOf(target), 200, std::chrono::microseconds(150));
}
BENCHMARK(CountView)->Threads(1)->Threads(8)->UseRealTime();

void RenderMetrics(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(metrics.Render());
}
BENCHMARK(RenderMetrics);

}  // namespace

BENCHMARK_MAIN();
