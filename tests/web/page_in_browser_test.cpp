// The highscore page in a real browser against the real munchet-scores:
// Debian's headless Chromium loads it over loopback from the server process,
// which holds rows submitted through add.php and, where add.php would refuse
// them, rows written straight into its database, as someone with a copied or
// imported database could. The page must show what the database holds, names
// as text with nothing of theirs run, its links and search form must work
// under both roots and the server's Content-Security-Policy, a phone's 360 px
// must never scroll sideways, and a reload of an unchanged table costs a 304.
//
// Set MUNCHET_WEB_SCREENSHOTS to a folder to keep the screenshots
// (web-desktop-light.png, ...); otherwise they go to a scratch folder.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "server/sqlite/sqlite_score_store.h"
#include "server/store/submission.h"
#include "server/web/web_page.h"
#include "server/web/web_text.h"
#include "tests/server/hostile_names.h"
#include "tests/server/server_test_support.h"
#include "tests/web/headless_browser.h"

namespace web_test {
namespace {

constexpr std::string_view siteTitle = "Munchet Fast Prototype highscores";
constexpr std::string_view gameRoot = "/hosted/vlkn/scores/pr/";

// A game with the score its counters give, as add.php demands.
Submission Game(std::string name, std::int32_t level, std::int32_t munchets, std::int32_t food) {
    const auto score = static_cast<std::int32_t>(ExpectedScore(level, munchets, food).value());
    return {std::move(name), score, level, munchets, food};
}

std::string SearchTarget(std::string_view root, std::string_view name) {
    std::string target(root);
    target += "?name=";
    AppendPercentEncoded(target, name);
    return target;
}

// A fresh database of the server's layout and the real server on it, one per
// test; the browser is shared by the tests of a suite.
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
        SqliteScoreStore layout;
        std::string error;
        ASSERT_TRUE(layout.Open(db, error)) << error;
    }

    // Rows written with the sqlite3 API, past every check add.php makes;
    // rank and the replay fields are not stored.
    void WriteStraight(const std::vector<RankedRow>& rows) {
        sqlite3* handle = nullptr;
        ASSERT_EQ(sqlite3_open(db.c_str(), &handle), SQLITE_OK);
        sqlite3_stmt* insert = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(handle,
                                     "INSERT INTO scores (name, score, level, munchets, food, time, client)"
                                     " VALUES (?1, ?2, ?3, ?4, ?5, ?6, 'imported')",
                                     -1, &insert, nullptr),
                  SQLITE_OK);
        for (const RankedRow& row : rows) {
            sqlite3_bind_text(insert, 1, row.name.data(), static_cast<int>(row.name.size()), SQLITE_STATIC);
            sqlite3_bind_int64(insert, 2, row.score);
            sqlite3_bind_int64(insert, 3, row.level);
            sqlite3_bind_int64(insert, 4, row.munchets);
            sqlite3_bind_int64(insert, 5, row.food);
            sqlite3_bind_int64(insert, 6, row.unixTime);
            EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_close(handle);
    }

    void StartServer() {
        std::filesystem::remove(portFile);
        server = std::make_unique<ServerProcess>(
            MUNCHET_SCORES_BINARY,
            std::vector<std::string>{"--listen", "127.0.0.1:0", "--db", db, "--port-file", portFile,
                                     "--rate-limit", "0"},
            dir.File("server.log"));
        ASSERT_TRUE(server->WaitForPort(portFile)) << ReadFile(dir.File("server.log"));
    }

    void Submit(const Submission& game) {
        EXPECT_EQ(RawGet(server->port, AddTarget(FormatSubmissionQuery(game))).status, 200) << game.name;
    }

    std::string Url(std::string_view target) const {
        return "http://127.0.0.1:" + std::to_string(server->port) + std::string(target);
    }

    // Every stored name in rank order, read from the file by a connection of our own.
    std::vector<std::string> NamesInRankOrder() const {
        return QueryOutside(db, "SELECT name FROM scores ORDER BY score DESC, id ASC");
    }

    static HeadlessBrowser* browser;
    ScratchDir dir;
    std::string db = dir.File("scores.db");
    std::string portFile = dir.File("port");
    std::unique_ptr<ServerProcess> server;
};

HeadlessBrowser* PageInBrowser::browser = nullptr;

// What a script could have done to the page, and how the names came out.
constexpr const char* inspectPage = R"js(({
    title: document.title,
    injected: document.querySelectorAll('body script, img, svg, iframe, object, embed').length,
    styled: getComputedStyle(document.body).maxWidth,
    sheet: document.styleSheets[0]?.href ?? null,
    names: Array.from(document.querySelectorAll('tbody th.name'), cell => cell.textContent),
    searches: Array.from(document.querySelectorAll('tbody th.name a'),
                         link => new URL(link.href).searchParams.get('name')),
    ranks: Array.from(document.querySelectorAll('tbody tr'), row => Number(row.cells[0].textContent.replaceAll(',', ''))),
    searchBox: document.getElementById('name').value,
    json: document.querySelector('link[rel=alternate]').href,
    next: document.querySelector('a[rel=next]')?.href ?? null,
    previous: document.querySelector('a[rel=prev]')?.href ?? null
}))js";

// Markup a failed escape would have put in the page, added by a script; the
// title tells whether any of it ran.
constexpr const char* injectMarkup = R"js(new Promise(done => {
    document.body.insertAdjacentHTML('beforeend', '<img src="x:" onerror="document.title=\'pwned\'">');
    const script = document.createElement('script');
    script.textContent = "document.title = 'pwned'";
    document.body.append(script);
    setTimeout(() => done(document.title), 300);
}))js";

std::vector<int> RanksFrom(int first, int count) {
    std::vector<int> ranks(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) ranks[static_cast<std::size_t>(i)] = first + i;
    return ranks;
}

// The parameter: whether the browser bypasses the Content-Security-Policy
// header; without it, escaping alone must hold.
class HostileNamesInBrowser : public PageInBrowser, public ::testing::WithParamInterface<bool> {};

TEST_P(HostileNamesInBrowser, ShowAsTextAndRunNothing) {
    const bool bypassCsp = GetParam();
    // One game each, best first in the list's order; add.php takes the
    // first six, the rest only go straight into the file.
    std::vector<Submission> submitted;
    std::vector<RankedRow> written;
    for (std::size_t i = 0; i < hostileNames.size(); ++i) {
        const Submission game = Game(hostileNames[i], 0, 100 - static_cast<std::int32_t>(i), 0);
        if (ParseSubmission(FormatSubmissionQuery(game)).submission) {
            submitted.push_back(game);
        } else {
            written.push_back({0, game.name, game.score, 0, game.munchets, 0, 1769860800, false, {}});
        }
    }
    ASSERT_EQ(submitted.size(), 6u) << "add.php takes the first six names";
    WriteStraight(written);
    StartServer();
    for (const Submission& game : submitted) Submit(game);
    const std::vector<std::string> order = NamesInRankOrder();
    ASSERT_EQ(order, hostileNames);

    BrowserTab tab(*browser, {});
    ASSERT_TRUE(tab.Ok()) << browser->Error();
    if (bypassCsp) {
        ASSERT_TRUE(tab.Send("Page.setBypassCSP", {{"enabled", true}})) << browser->Error();
    }
    ASSERT_TRUE(tab.Load(Url("/"))) << browser->Error();
    const Json table = tab.Evaluate(inspectPage).value_or(Json());
    EXPECT_EQ(table["title"], siteTitle);
    EXPECT_EQ(table["injected"], 0);
    EXPECT_EQ(table["styled"], "1024px") << "the stylesheet applies";
    EXPECT_EQ(table["names"], order);
    EXPECT_EQ(table["searches"], order);

    for (std::size_t i = 0; i < order.size(); ++i) {
        const std::string& name = order[i];
        ASSERT_TRUE(tab.Load(Url(SearchTarget("/", name)))) << browser->Error();
        const Json search = tab.Evaluate(inspectPage).value_or(Json());
        EXPECT_EQ(search["title"], "Scores of " + name + " \u2014 " + std::string(siteTitle)) << name;
        EXPECT_EQ(search["injected"], 0) << name;
        EXPECT_EQ(search["searchBox"], name);
        EXPECT_EQ(search["names"], Json::array({name}));
        EXPECT_EQ(search["ranks"], Json::array({i + 1}));
    }

    // Such markup runs only where the header is bypassed: the title checks
    // above would have seen it run.
    ASSERT_TRUE(tab.Load(Url("/"))) << browser->Error();
    EXPECT_EQ(tab.Evaluate(injectMarkup), bypassCsp ? Json("pwned") : Json(siteTitle));
}

INSTANTIATE_TEST_SUITE_P(CspOnAndOff, HostileNamesInBrowser, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "EscapingAlone" : "WithCsp"; });

TEST_F(PageInBrowser, PagesAndSearchFollowTheDatabaseUnderTheGameFolder) {
    StartServer();
    // 60 games with tied scores; one player has three of them.
    for (int i = 1; i <= 60; ++i) {
        const std::string name = i % 20 == 7 ? "a+b c" : "player " + std::to_string(i);
        Submit(Game(name, i % 3, (i * 37) % 50 + 1, i % 5 - 2));
    }
    const std::vector<std::string> order = NamesInRankOrder();
    ASSERT_EQ(order.size(), 60u);
    BrowserTab tab(*browser, {});
    ASSERT_TRUE(tab.Ok()) << browser->Error();

    std::string url = Url(gameRoot);
    for (int page = 0; page < 3; ++page) {
        ASSERT_TRUE(tab.Load(url)) << browser->Error();
        const Json seen = tab.Evaluate(inspectPage).value_or(Json());
        const int first = 25 * page;
        const int count = std::min(25, 60 - first);
        EXPECT_EQ(seen["names"],
                  std::vector<std::string>(order.begin() + first, order.begin() + first + count));
        EXPECT_EQ(seen["ranks"], RanksFrom(first + 1, count));
        EXPECT_EQ(seen["styled"], "1024px") << "the stylesheet applies";
        EXPECT_EQ(seen["sheet"], Url(std::string(gameRoot) + "style.css"))
            << "and comes from the game's folder";
        EXPECT_EQ(seen["json"], Url(std::string(gameRoot) + "api/scores?page=" + std::to_string(page + 1)));
        EXPECT_EQ(seen["previous"].is_null(), page == 0);
        EXPECT_EQ(seen["next"].is_null(), page == 2);
        if (!seen["next"].is_null()) url = seen["next"];
    }
    ASSERT_TRUE(tab.RunAndWaitForLoad("document.querySelector('a[rel=prev]').click()")) << browser->Error();
    EXPECT_EQ(tab.Evaluate(inspectPage).value_or(Json())["ranks"].front(), 26);

    // The form sends the blank as '+' and the plus as %2B.
    ASSERT_TRUE(tab.RunAndWaitForLoad(
        "document.getElementById('name').value = 'a+b c'; document.querySelector('form').requestSubmit()"))
        << browser->Error();
    const Json found = tab.Evaluate(inspectPage).value_or(Json());
    std::vector<int> ranks;
    for (std::size_t i = 0; i < order.size(); ++i)
        if (order[i] == "a+b c") ranks.push_back(static_cast<int>(i) + 1);
    EXPECT_EQ(found["ranks"], ranks);
    EXPECT_EQ(found["names"], std::vector<std::string>(3, "a+b c"));
}

// Reloads the tab's page and gives the status the server sent for it, as
// received: elsewhere the protocol shows a revalidated page as the 200 it
// keeps. Nothing when the reload or the events fail.
std::optional<int> ReloadStatus(BrowserTab& tab) {
    for (const char* method : {"Network.responseReceived", "Network.responseReceivedExtraInfo"})
        tab.DropEvents(method);
    if (!tab.RunAndWaitForLoad("location.reload()")) return std::nullopt;
    std::optional<Json> document;
    for (int events = 0; events < 20 && !document; ++events) {
        const std::optional<Json> received = tab.WaitForEvent("Network.responseReceived");
        if (!received) return std::nullopt;
        if ((*received)["type"] == "Document") document = received;
    }
    for (int events = 0; document && events < 20; ++events) {
        const std::optional<Json> raw = tab.WaitForEvent("Network.responseReceivedExtraInfo");
        if (!raw) return std::nullopt;
        if ((*raw)["requestId"] == (*document)["requestId"]) return (*raw)["statusCode"].get<int>();
    }
    return std::nullopt;
}

TEST_F(PageInBrowser, AReloadOfAnUnchangedTableCostsA304) {
    StartServer();
    Submit(Game("first", 1, 4, 0));
    BrowserTab tab(*browser, {});
    ASSERT_TRUE(tab.Ok() && tab.Send("Network.enable")) << browser->Error();
    ASSERT_TRUE(tab.Load(Url("/"))) << browser->Error();
    EXPECT_EQ(ReloadStatus(tab), 304) << browser->Error();

    const std::string tag = HeaderValue(RawGet(server->port, "/"), "ETag");
    EXPECT_EQ(RawGet(server->port, "/", "If-None-Match: " + tag + "\r\n").status, 304);
    Submit(Game("second", 2, 1, 0));
    const RawReply changed = RawGet(server->port, "/", "If-None-Match: " + tag + "\r\n");
    EXPECT_EQ(changed.status, 200);
    EXPECT_NE(HeaderValue(changed, "ETag"), tag);

    EXPECT_EQ(ReloadStatus(tab), 200) << browser->Error();
    EXPECT_EQ(tab.Evaluate(inspectPage).value_or(Json())["names"], Json::array({"second", "first"}));
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
    WriteStraight(rows);
    StartServer();
    // Ranks and replays past what a test's table can hold, as the server's
    // own renderer would show them on the deepest page.
    const std::string deepest =
        RenderScorePage({{maxWebPage, ""}, std::int64_t{maxWebPage} * webPageSize, rows});
    for (const bool dark : {false, true}) {
        BrowserTab tab(*browser, {360, 740, true, dark});
        ASSERT_TRUE(tab.Ok()) << browser->Error();
        for (const std::string& target :
             {std::string("/"), SearchTarget("/", rows[0].name), std::string("/?page=9"),
              std::string("/?page=x"), std::string("deepest")}) {
            if (target == "deepest") {
                const std::optional<Json> frames = tab.Send("Page.getFrameTree");
                ASSERT_TRUE(frames) << browser->Error();
                ASSERT_TRUE(tab.Send("Page.setDocumentContent",
                                     {{"frameId", (*frames)["frameTree"]["frame"]["id"]}, {"html", deepest}}))
                    << browser->Error();
                ASSERT_TRUE(
                    tab.Evaluate("new Promise(done => { const link = document.querySelector('link');"
                                 " if (link.sheet) done(true); else link.onload = () => done(true); })"));
            } else {
                ASSERT_TRUE(tab.Load(Url(target))) << browser->Error();
            }
            const std::optional<Json> widths = tab.Evaluate(
                "({view: window.innerWidth, page: document.documentElement.scrollWidth, "
                "body: document.body.scrollWidth, styled: getComputedStyle(document.body).maxWidth})");
            ASSERT_TRUE(widths) << browser->Error();
            EXPECT_EQ((*widths)["view"], 360) << target;
            EXPECT_EQ((*widths)["styled"], "1024px") << target;
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

// A believable table for the screenshots: ten players of every skill and
// thirty beginners, so there is a second page.
std::vector<Submission> SampleGames() {
    std::vector<Submission> games = {
        Game("Mira", 5, 61, -212),      Game("ghost rider", 4, 47, -96),
        Game("Tom & Jerry", 4, 40, 31), Game("night owl", 3, 33, -40),
        Game("B-52", 3, 27, 12),        Game("pixel_pusher", 2, 19, -9),
        Game("~feral~", 2, 15, 22),     Game("K", 1, 9, 4),
        Game("ada", 1, 6, 17),          Game("Q*bert fan", 0, 4, 9),
    };
    for (int i = 30; i > 0; --i) games.push_back(Game("player " + std::to_string(i), 0, i, -i));
    return games;
}

TEST_P(SchemesInBrowser, FollowThePreferredSchemeAndLeaveAScreenshot) {
    const SchemeCase& scheme = GetParam();
    StartServer();
    for (const Submission& game : SampleGames()) Submit(game);
    // A live table is played over weeks: spread the dates as such a table's would be.
    ASSERT_EQ(ExecuteOutside(db, "UPDATE scores SET time = 1769860800 - 86400 * 3 * id"), "");
    BrowserTab tab(*browser, scheme.viewport);
    ASSERT_TRUE(tab.Ok() && tab.Load(Url("/"))) << browser->Error();

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
