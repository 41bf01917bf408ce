// The cost of rendering one page of the highscore table: HTML and JSON, for
// names as players type them and for names that escape in every byte, beside
// the view.php table text of the same rows as the plain reference, and the
// query parser and If-None-Match reader that run before any rendering.
#include "server/web/web_page.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "server/web/page_query.h"
#include "server/web/score_json.h"
#include "server/web/web_headers.h"

namespace {

ScorePage FullPage(bool hostileNames) {
    ScorePage page{{40, ""}, 10000, {}};
    for (int i = 0; i < webPageSize; ++i) {
        std::string name = hostileNames ? std::string(20, i % 2 ? '<' : '"') : "player " + std::to_string(i);
        const std::int64_t rank = 976 + i;
        page.rows.push_back({rank, std::move(name), 150000 - 100 * i, 4, 40 + i, -30 + i, 1769860800 + i,
                             i % 3 == 0, i % 3 == 0 ? std::optional<std::int64_t>(rank) : std::nullopt});
    }
    return page;
}

void RenderHtml(benchmark::State& state) {
    const ScorePage page = FullPage(state.range(0) != 0);
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string html = RenderScorePage(page);
        bytes = html.size();
        benchmark::DoNotOptimize(html.data());
    }
    state.counters["page_bytes"] = static_cast<double>(bytes);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(RenderHtml)->ArgName("hostile")->Arg(0)->Arg(1);

void RenderJson(benchmark::State& state) {
    const ScorePage page = FullPage(state.range(0) != 0);
    for (auto _ : state) {
        const std::string json = RenderScoreJson(page);
        benchmark::DoNotOptimize(json.data());
    }
}
BENCHMARK(RenderJson)->ArgName("hostile")->Arg(0)->Arg(1);

// Reference: the same 25 rows as view.php's "name;score" lines.
void ReferenceTableText(benchmark::State& state) {
    const ScorePage page = FullPage(false);
    for (auto _ : state) {
        std::string text;
        for (const RankedRow& row : page.rows) {
            text += row.name;
            text += ';';
            text += std::to_string(row.score);
            text += '\n';
        }
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(ReferenceTableText);

void ParseQuery(benchmark::State& state) {
    for (auto _ : state) {
        PageQueryResult result = ParsePageQuery("name=ghost%20rider&page=12&utm_source=share");
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(ParseQuery);

void MatchEtag(benchmark::State& state) {
    const std::string tag = WebEtag("5f0c2a9e3b7d4e61.123456", WebContent::page, {12, "ghost rider"});
    const std::string header = "W/\"1-abc\", \"2-def\", " + tag;
    for (auto _ : state) {
        bool matched =
            EtagMatches(header, WebEtag("5f0c2a9e3b7d4e61.123456", WebContent::page, {12, "ghost rider"}));
        benchmark::DoNotOptimize(matched);
    }
}
BENCHMARK(MatchEtag);

}  // namespace

BENCHMARK_MAIN();
