#include "server/web/web_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <regex>

#include "server/web/score_json.h"
#include "tests/server/hostile_names.h"

namespace {

RankedRow Row(std::int64_t rank, std::string name) {
    return {rank, std::move(name), 30249, 2, 3, 17, 1769860800, false, {}};
}

// Every view a name can reach: a row with its search link (and the links to
// its game), the search box, the title and the total line of a search, and a
// message page.
std::string EveryViewOf(const std::string& name) {
    RankedRow row = Row(4, name);
    row.verified = true;
    row.replayId = 9;
    return RenderScorePage({{1, ""}, 1, {row}, false, true}) + RenderScorePage({{2, name}, 30, {row}}) +
           RenderMessagePage(name, name);
}

std::size_t Count(const std::string& text, char c) { return std::count(text.begin(), text.end(), c); }

class HostileNamesInPage : public ::testing::TestWithParam<std::string> {};

// Markup is made of < > " ' =: a name that adds one of them to the page has
// escaped its text. The same views with a harmless name give the baseline.
TEST_P(HostileNamesInPage, AddNoMarkup) {
    const std::string hostile = EveryViewOf(GetParam());
    const std::string harmless = EveryViewOf("x");
    for (const char c : {'<', '>', '"', '\''}) EXPECT_EQ(Count(hostile, c), Count(harmless, c)) << c;
    EXPECT_EQ(hostile.find("<script"), std::string::npos);
    // No inline script or style the page's Content-Security-Policy would refuse.
    EXPECT_EQ(hostile.find(" style="), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Names, HostileNamesInPage, ::testing::ValuesIn(hostileNames));

TEST(ScorePageLinks, NameLinksAreEncodedThenEscaped) {
    const std::string page = RenderScorePage({{1, ""}, 2, {Row(1, "a&b c"), Row(2, std::string(65, 'L'))}});
    EXPECT_NE(page.find(R"(<a href="?name=a%26b%20c&amp;page=1"><bdi>a&amp;b c</bdi></a>)"),
              std::string::npos);
    // Too long to search for: shown, not linked.
    EXPECT_NE(page.find("<th scope=\"row\" class=\"name\"><bdi>" + std::string(65, 'L')), std::string::npos);
    EXPECT_EQ(page.find("two players"), std::string::npos);
}

TEST(ScorePageRows, MarkATwoPlayerGame) {
    RankedRow row = Row(1, "Pair");
    row.players = 2;
    EXPECT_NE(
        RenderScorePage({{1, ""}, 1, {row}}).find("</a> <span class=\"players\">(two players)</span></th>"),
        std::string::npos);
    EXPECT_EQ(nlohmann::json::parse(RenderScoreJson({{1, ""}, 1, {row}}))["rows"][0]["players"], 2);
}

struct Paging {
    std::int64_t total;
    std::int32_t page;
    std::string name;
    std::string previous;  // href as in the page, empty: no link
    std::string next;
    std::string totalLine;
};

void PrintTo(const Paging& c, std::ostream* os) {
    *os << c.total << " rows, page " << c.page << ", name " << ::testing::PrintToString(c.name);
}

class PagingLinks : public ::testing::TestWithParam<Paging> {};

std::string Href(const std::string& page, const std::string& rel) {
    std::smatch match;
    const std::regex link("<a href=\"([^\"]*)\" rel=\"" + rel + "\">");
    return std::regex_search(page, match, link) ? match[1].str() : std::string();
}

TEST_P(PagingLinks, PreviousNextAndTotal) {
    const Paging& c = GetParam();
    ScorePage input{{c.page, c.name}, c.total, {}};
    const std::int64_t first = std::int64_t{c.page - 1} * webPageSize;
    for (std::int64_t rank = first + 1; rank <= std::min(c.total, first + webPageSize); ++rank) {
        input.rows.push_back(Row(rank, c.name.empty() ? "p" : c.name));
    }
    const std::string page = RenderScorePage(input);
    EXPECT_EQ(Href(page, "prev"), c.previous);
    EXPECT_EQ(Href(page, "next"), c.next);
    EXPECT_NE(page.find("<p class=\"total\">" + c.totalLine), std::string::npos) << page;
    EXPECT_EQ(page.find("<table>") != std::string::npos, !input.rows.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Tables, PagingLinks,
    ::testing::Values(Paging{0, 1, "", "", "", "No scores yet."},
                      Paging{1, 1, "", "", "", "1 score in the table."},
                      Paging{25, 1, "", "", "", "25 scores in the table."},
                      Paging{26, 1, "", "", "?page=2", "26 scores in the table."},
                      Paging{60, 2, "", "?page=1", "?page=3", "60 scores in the table."},
                      Paging{60, 3, "", "?page=2", "", "60 scores in the table."},
                      // Past the end: back to the last page, nothing further.
                      Paging{60, 9, "", "?page=3", "", "60 scores in the table."},
                      Paging{1234, 1, "", "", "?page=2", "1,234 scores in the table."},
                      Paging{30, 1, "a&b", "", "?name=a%26b&amp;page=2", "30 scores by <bdi>a&amp;b</bdi>."},
                      Paging{0, 1, "nobody", "", "", "No scores by <bdi>nobody</bdi>."}));

TEST(ScoreJson, ParsesBackToTheSameRows) {
    ScorePage page{{2, "a\"b"}, 27, {}};
    for (const std::string& name : hostileNames) page.rows.push_back(Row(26 + page.rows.size(), name));
    page.rows.push_back(Row(99, "bad \xC3 utf-8 \x01"));
    page.rows.back().unixTime = std::numeric_limits<std::int64_t>::max();
    page.rows.back().verified = true;
    page.rows.back().replayId = 42;

    const std::string text = RenderScoreJson(page);
    EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) { return c > 0 && c < 0x7F; }));
    const nlohmann::json json = nlohmann::json::parse(text);
    EXPECT_EQ(json["page"], 2);
    EXPECT_EQ(json["pageCount"], 2);
    EXPECT_EQ(json["total"], 27);
    EXPECT_EQ(json["name"], "a\"b");
    ASSERT_EQ(json["rows"].size(), page.rows.size());
    for (std::size_t i = 0; i < hostileNames.size(); ++i) {
        const nlohmann::json& row = json["rows"][i];
        EXPECT_EQ(row["name"], hostileNames[i]);
        EXPECT_EQ(row["rank"], 26 + i);
        EXPECT_EQ(row["score"], 30249);
        EXPECT_EQ(row["level"], 2);
        EXPECT_EQ(row["munchets"], 3);
        EXPECT_EQ(row["food"], 17);
        EXPECT_EQ(row["date"], "2026-01-31T12:00:00Z");
        EXPECT_EQ(row["verified"], false);
        EXPECT_EQ(row["players"], 1);
        EXPECT_TRUE(row["replay"].is_null());
    }
    const nlohmann::json& last = json["rows"].back();
    EXPECT_EQ(last["name"], "bad \uFFFD utf-8 \x01");
    EXPECT_TRUE(last["date"].is_null());
    EXPECT_EQ(last["verified"], true);
    EXPECT_EQ(last["replay"], "/hosted/vlkn/scores/pr/replay.php?id=42");

    EXPECT_EQ(nlohmann::json::parse(RenderScoreJson({}))["name"], nullptr);
    EXPECT_EQ(nlohmann::json::parse(RenderJsonError("bad \"page\""))["error"], "bad \"page\"");
}

}  // namespace
