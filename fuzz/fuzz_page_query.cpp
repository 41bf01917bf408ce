// libFuzzer target: the web page's query parser, the If-None-Match and
// Accept-Encoding readers, the browser game's request paths and the page and
// JSON renderers, fed any bytes. Beyond "no crash, no undefined
// behaviour" it checks that an accepted query is within its bounds and
// survives its own link, that no name adds markup to the page (it must hold
// exactly as many < > " ' as the same page with a harmless name of the same
// length), and that the JSON twin is valid JSON whatever the name holds.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "server/web/page_query.h"
#include "server/web/play_files.h"
#include "server/web/score_json.h"
#include "server/web/web_headers.h"
#include "server/web/web_page.h"

namespace {

std::string EveryView(const std::string& name) {
    const RankedRow row{3, name, 100, 0, 1, 0, 0, true, 5};
    return RenderScorePage({{1, ""}, 1, {row}, false, true}) + RenderScorePage({{1, name}, 1, {row}}) +
           RenderMessagePage(name, name);
}

bool SameMarkup(const std::string& a, const std::string& b) {
    for (const char c : {'<', '>', '"', '\''}) {
        if (std::count(a.begin(), a.end(), c) != std::count(b.begin(), b.end(), c)) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const PageQueryResult result = ParsePageQuery(bytes);
    if (result.query.has_value() == !result.error.empty()) std::abort();
    if (result.query) {
        const PageQuery& query = *result.query;
        if (query.page < 1 || query.page > maxWebPage || query.name.size() > maxSearchNameLength)
            std::abort();
        const PageQueryResult again = ParsePageQuery(PageLink(query).substr(1));
        if (!again.query || !(*again.query == query)) std::abort();
    }

    const std::string tag = WebEtag(bytes, WebContent::page, {});
    if (!EtagMatches(tag, tag)) std::abort();  // any stamp gives a well-formed tag
    (void)EtagMatches(bytes, tag);
    (void)AcceptsGzip(bytes);
    if (PlayFiles().Answer(bytes, true, bytes).status != 404) std::abort();  // nothing loaded, nothing served

    if (!bytes.empty() && bytes.size() <= 256) {
        const std::string name(bytes);
        if (!SameMarkup(EveryView(name), EveryView(std::string(name.size(), 'x')))) std::abort();
        if (!nlohmann::json::accept(RenderScoreJson({{1, ""}, 1, {{1, name, 1, 0, 0, 0, 0, false, {}}}}))) {
            std::abort();
        }
    }
    return 0;
}
