// The highscore page in a real browser: Debian's headless Chromium loads it
// from a loopback server that renders it as munchet-scores will, from rows
// held in memory here. Hostile names must show as text and run nothing, the
// links, the search form and the stylesheet must work under the page's own
// Content-Security-Policy, and a phone's 360 px must never scroll sideways.
//
// Set MUNCHET_WEB_SCREENSHOTS to a folder to keep the screenshots
// (web-desktop-light.png, ...); otherwise they go to a scratch folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <mutex>

#include "server/page_query.h"
#include "server/score_json.h"
#include "server/submission.h"
#include "server/web_headers.h"
#include "server/web_page.h"
#include "server/web_style.h"
#include "server/web_text.h"
#include "tests/server/hostile_names.h"
#include "tests/server/server_test_support.h"
#include "tests/web/headless_browser.h"
#include "tests/web/loopback_http_server.h"

namespace web_test {
namespace {

constexpr std::string_view pwned = "pwned";
constexpr std::string_view siteTitle = "Munchet Fast Prototype highscores";

std::vector<RankedRow> RankedRows(const std::vector<std::string>& names) {
    std::vector<RankedRow> rows;
    for (const std::string& name : names) {
        const auto place = static_cast<std::int32_t>(rows.size());
        rows.push_back(
            {place + 1, name, 90000 - 100 * place, place % 4, 7, -3, 1769860800 + place, false, {}});
    }
    return rows;
}

// What the score store will answer: one page of the rows, or of one name's rows.
ScorePage Slice(const std::vector<RankedRow>& table, const PageQuery& query) {
    ScorePage page{query, 0, {}};
    const std::int64_t first = std::int64_t{query.page - 1} * webPageSize;
    for (const RankedRow& row : table) {
        if (!query.name.empty() && row.name != query.name) continue;
        if (page.totalRows >= first && page.totalRows < first + webPageSize) page.rows.push_back(row);
        ++page.totalRows;
    }
    return page;
}

HttpReply WithHeaders(WebContent content, std::string body, bool csp) {
    HttpReply reply{200, {}, std::move(body)};
    for (const WebHeader& header : WebHeaders(content)) {
        if (csp || header.name != "Content-Security-Policy")
            reply.headers.emplace_back(header.name, header.value);
    }
    return reply;
}

class PageInBrowser : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        browser = new HeadlessBrowser;
        browser->Start();
    }
    static void TearDownTestSuite() {
        delete browser;
        browser = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(browser->Running()) << browser->Error();
        ASSERT_NE(server.Port(), 0);
    }

    void SetTable(std::vector<RankedRow> rows, bool csp = true) {
        const std::lock_guard lock(mutex);
        table = std::move(rows);
        useCsp = csp;
    }

    // Routes as munchet-scores does; runs on the loopback server's thread.
    HttpReply Answer(std::string_view path, std::string_view rawQuery) {
        const std::lock_guard lock(mutex);
        if (path == stylePath) return WithHeaders(WebContent::style, std::string(StyleSheet()), useCsp);
        if (path == "/probe") {
            return WithHeaders(WebContent::page,
                               "<!DOCTYPE html><title>probe</title><script>document.title='pwned'</script>",
                               useCsp);
        }
        const bool json = path == apiPath;
        if (path != "/" && path != "/hosted/vlkn/scores/pr/" && !json) return {404, {}, "not found"};
        const PageQueryResult parsed = ParsePageQuery(rawQuery);
        if (!parsed.query) {
            HttpReply reply =
                WithHeaders(WebContent::page, RenderMessagePage("Bad request", parsed.error), useCsp);
            reply.status = 400;
            return reply;
        }
        const ScorePage page = Slice(table, *parsed.query);
        if (json) return WithHeaders(WebContent::json, RenderScoreJson(page), useCsp);
        return WithHeaders(WebContent::page, RenderScorePage(page), useCsp);
    }

    static HeadlessBrowser* browser;
    std::mutex mutex;
    std::vector<RankedRow> table;
    bool useCsp = true;
    LoopbackHttpServer server{
        [this](std::string_view path, std::string_view query) { return Answer(path, query); }};
};

HeadlessBrowser* PageInBrowser::browser = nullptr;

// What a script could have done to the page, and how the names came out.
constexpr const char* inspectPage = R"js(({
    title: document.title,
    injected: document.querySelectorAll('body script, img, svg, iframe, object, embed').length,
    names: Array.from(document.querySelectorAll('tbody th.name'), cell => cell.textContent),
    searches: Array.from(document.querySelectorAll('tbody th.name a'),
                         link => new URL(link.href).searchParams.get('name')),
    ranks: Array.from(document.querySelectorAll('tbody tr'), row => Number(row.cells[0].textContent.replaceAll(',', ''))),
    searchBox: document.getElementById('name').value,
    next: document.querySelector('a[rel=next]')?.href ?? null,
    previous: document.querySelector('a[rel=prev]')?.href ?? null
}))js";

// The parameter: whether the Content-Security-Policy header is sent; without
// it, escaping alone must hold.
class HostileNamesInBrowser : public PageInBrowser, public ::testing::WithParamInterface<bool> {};

TEST_P(HostileNamesInBrowser, ShowAsTextAndRunNothing) {
    SetTable(RankedRows(hostileNames), GetParam());
    BrowserTab tab(*browser, {});
    ASSERT_TRUE(tab.Ok()) << browser->Error();

    ASSERT_TRUE(tab.Load(server.Url("/"))) << browser->Error();
    const std::optional<Json> table = tab.Evaluate(inspectPage);
    ASSERT_TRUE(table) << browser->Error();
    EXPECT_EQ((*table)["title"], siteTitle);
    EXPECT_EQ((*table)["injected"], 0);
    EXPECT_EQ((*table)["names"], hostileNames);
    EXPECT_EQ((*table)["searches"], hostileNames);

    for (std::size_t i = 0; i < hostileNames.size(); ++i) {
        const std::string& name = hostileNames[i];
        std::string url = server.Url("/?name=");
        AppendPercentEncoded(url, name);
        ASSERT_TRUE(tab.Load(url)) << browser->Error();
        const std::optional<Json> search = tab.Evaluate(inspectPage);
        ASSERT_TRUE(search) << browser->Error();
        EXPECT_EQ((*search)["title"], "Scores of " + name + " \u2014 " + std::string(siteTitle)) << name;
        EXPECT_EQ((*search)["injected"], 0) << name;
        EXPECT_EQ((*search)["searchBox"], name);
        EXPECT_EQ((*search)["names"], Json::array({name}));
        EXPECT_EQ((*search)["ranks"], Json::array({i + 1}));
    }
}

INSTANTIATE_TEST_SUITE_P(CspOnAndOff, HostileNamesInBrowser, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "WithCsp" : "EscapingAlone"; });

// The probe page carries an inline script: it runs without the header, which
// shows the title check above can see a script run, and the header stops it.
TEST_F(PageInBrowser, ContentSecurityPolicyStopsInlineScript) {
    for (const bool csp : {false, true}) {
        SetTable({}, csp);
        BrowserTab tab(*browser, {});
        ASSERT_TRUE(tab.Ok() && tab.Load(server.Url("/probe"))) << browser->Error();
        EXPECT_EQ(tab.Evaluate("document.title"), csp ? Json("probe") : Json(pwned)) << "csp " << csp;
    }
}

TEST_F(PageInBrowser, PreviousNextAndSearchFormFollowTheTable) {
    std::vector<std::string> names;
    for (int i = 1; i <= 60; ++i) names.push_back("player " + std::to_string(i));
    names[41] = "a+b c";  // the form sends the blank as '+' and the plus as %2B
    SetTable(RankedRows(names));
    BrowserTab tab(*browser, {});
    ASSERT_TRUE(tab.Ok()) << browser->Error();

    std::string url = server.Url("/hosted/vlkn/scores/pr/");
    const std::vector<std::pair<int, int>> expectedRanks = {{1, 25}, {26, 50}, {51, 60}};
    for (const auto& [first, last] : expectedRanks) {
        ASSERT_TRUE(tab.Load(url)) << browser->Error();
        const Json page = tab.Evaluate(inspectPage).value_or(Json());
        ASSERT_EQ(page["ranks"].size(), static_cast<std::size_t>(last - first + 1));
        EXPECT_EQ(page["ranks"].front(), first);
        EXPECT_EQ(page["ranks"].back(), last);
        EXPECT_EQ(page["previous"].is_null(), first == 1);
        EXPECT_EQ(page["next"].is_null(), last == 60);
        if (!page["next"].is_null()) url = page["next"];
    }
    ASSERT_TRUE(tab.RunAndWaitForLoad("document.querySelector('a[rel=prev]').click()")) << browser->Error();
    EXPECT_EQ(tab.Evaluate(inspectPage).value_or(Json())["ranks"].front(), 26);

    ASSERT_TRUE(tab.RunAndWaitForLoad(
        "document.getElementById('name').value = 'a+b c'; document.querySelector('form').requestSubmit()"))
        << browser->Error();
    const Json found = tab.Evaluate(inspectPage).value_or(Json());
    EXPECT_EQ(found["ranks"], Json::array({42}));
    EXPECT_EQ(found["names"], Json::array({"a+b c"}));
}

// The widest content the page can meet: the longest names a copied database
// might hold, unbreakable, and every number at its extreme.
std::vector<RankedRow> WidestRows() {
    std::vector<RankedRow> rows;
    constexpr auto big = std::numeric_limits<std::int32_t>::max();
    constexpr auto small = std::numeric_limits<std::int32_t>::min();
    for (int i = 0; i < webPageSize; ++i) {
        const std::string name(i % 2 == 0 ? maxSearchNameLength : 3 * maxSearchNameLength, 'W');
        rows.push_back({24'999'975 + i, name, big, big, small, small, 253402300799, true,
                        std::numeric_limits<std::int64_t>::max()});
    }
    return rows;
}

TEST_F(PageInBrowser, PhoneWidthNeverScrollsSideways) {
    const std::vector<RankedRow> rows = WidestRows();
    SetTable(rows);
    std::string search = "/?name=";
    AppendPercentEncoded(search, rows[0].name);
    for (const bool dark : {false, true}) {
        BrowserTab tab(*browser, {360, 740, true, dark});
        ASSERT_TRUE(tab.Ok()) << browser->Error();
        for (const std::string target : {"/", search.c_str(), "/?page=9", "/?page=x"}) {
            ASSERT_TRUE(tab.Load(server.Url(target))) << browser->Error();
            const std::optional<Json> widths = tab.Evaluate(
                "({view: window.innerWidth, page: document.documentElement.scrollWidth, "
                "body: document.body.scrollWidth})");
            ASSERT_TRUE(widths) << browser->Error();
            EXPECT_EQ((*widths)["view"], 360) << target;
            EXPECT_LE((*widths)["page"], 360) << target;
            EXPECT_LE((*widths)["body"], 360) << target;
        }
    }
}

struct SchemeCase {
    const char* file;  // screenshot name
    Viewport viewport;
};

void PrintTo(const SchemeCase& c, std::ostream* os) { *os << c.file; }

class SchemesInBrowser : public PageInBrowser, public ::testing::WithParamInterface<SchemeCase> {};

// Relative luminance of a computed CSS colour "rgb(r, g, b)", 0 (black) to 1 (white).
double Luminance(const std::string& css) {
    double channel[3] = {};
    if (std::sscanf(css.c_str(), "rgb(%lf, %lf, %lf)", &channel[0], &channel[1], &channel[2]) != 3) return -1;
    for (double& c : channel) {
        c /= 255;
        c = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    }
    return 0.2126 * channel[0] + 0.7152 * channel[1] + 0.0722 * channel[2];
}

// A believable table for the screenshots: scores that match their counters,
// best first, a verified game with its replay, and a second page.
std::vector<RankedRow> SampleRows() {
    struct Game {
        const char* name;
        std::int32_t level, munchets, food;
    };
    const std::vector<Game> games = {
        {"Mira", 5, 61, -212},      {"ghost rider", 4, 47, -96},
        {"Tom & Jerry", 4, 40, 31}, {"night owl", 3, 33, -40},
        {"B-52", 3, 27, 12},        {"pixel_pusher", 2, 19, -9},
        {"~feral~", 2, 15, 22},     {"K", 1, 9, 4},
        {"ada", 1, 6, 17},          {"Q*bert fan", 0, 4, 9},
    };
    std::vector<RankedRow> rows;
    for (const Game& game : games) {
        const auto score =
            static_cast<std::int32_t>(ExpectedScore(game.level, game.munchets, game.food).value());
        const std::int64_t when = 1769860800 - 86400 * 3 * static_cast<std::int64_t>(rows.size());
        rows.push_back({0, game.name, score, game.level, game.munchets, game.food, when, false, {}});
    }
    for (int i = 30; i > 0; --i)
        rows.push_back({0, "player " + std::to_string(i), 97 * i, 0, i, i, 1767225600, false, {}});
    std::stable_sort(rows.begin(), rows.end(),
                     [](const RankedRow& a, const RankedRow& b) { return a.score > b.score; });
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i].rank = static_cast<std::int64_t>(i) + 1;
    rows[0].verified = true;
    rows[0].replayId = 17;
    rows[2].replayId = 23;
    return rows;
}

TEST_P(SchemesInBrowser, FollowThePreferredSchemeAndLeaveAScreenshot) {
    const SchemeCase& scheme = GetParam();
    SetTable(SampleRows());
    BrowserTab tab(*browser, scheme.viewport);
    ASSERT_TRUE(tab.Ok() && tab.Load(server.Url("/"))) << browser->Error();

    const Json colours = tab.Evaluate(
                                "({background: getComputedStyle(document.body).backgroundColor, "
                                "text: getComputedStyle(document.body).color})")
                             .value_or(Json());
    ASSERT_TRUE(colours.is_object()) << browser->Error();
    const double background = Luminance(colours["background"]);
    const double text = Luminance(colours["text"]);
    if (scheme.viewport.dark) {
        EXPECT_LT(background, 0.05) << colours;
        EXPECT_GT(text, 0.7) << colours;
    } else {
        EXPECT_GT(background, 0.95) << colours;
        EXPECT_LT(text, 0.05) << colours;
    }

    ScratchDir scratch;
    const char* keep = std::getenv("MUNCHET_WEB_SCREENSHOTS");
    const std::filesystem::path png =
        std::filesystem::path(keep ? keep : scratch.path.string()) / scheme.file;
    ASSERT_TRUE(tab.Screenshot(png)) << browser->Error();
    const std::optional<std::pair<int, int>> size = PngSize(png);
    ASSERT_TRUE(size) << png;
    EXPECT_EQ(size->first, scheme.viewport.width);
    EXPECT_GE(size->second, scheme.viewport.height);
}

INSTANTIATE_TEST_SUITE_P(DesktopAndPhone, SchemesInBrowser,
                         ::testing::Values(SchemeCase{"web-desktop-light.png", {1280, 800, false, false}},
                                           SchemeCase{"web-desktop-dark.png", {1280, 800, false, true}},
                                           SchemeCase{"web-phone-light.png", {360, 740, true, false}},
                                           SchemeCase{"web-phone-dark.png", {360, 740, true, true}}),
                         [](const auto& info) {
                             return std::string(info.param.viewport.mobile ? "Phone" : "Desktop") +
                                    (info.param.viewport.dark ? "Dark" : "Light");
                         });

}  // namespace
}  // namespace web_test
