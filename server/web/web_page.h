// The highscore table as a web page: plain records in, a complete HTML5
// document out. No script, no inline style (the page must work under the
// strict Content-Security-Policy of web_headers.h), one stylesheet at
// styleLink.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/store/score_store.h"
#include "server/web/page_query.h"

// The page's own links are relative: it is served at "/" and under the
// game's folder alike (a proxy may forward only that folder), and each link
// stays under the root the reader came through.
inline constexpr std::string_view styleLink = "style.css";
inline constexpr std::string_view apiLink = "api/scores";  // the JSON twin, same query
// Replays live in the game's folder only, which every root reaches.
inline constexpr std::string_view replayPath = "/hosted/vlkn/scores/pr/replay.php";
// The browser game, served below either root; "?watch=N" plays replay N.
inline constexpr std::string_view playLink = "play/";

// One page of the table, or of one player's rows.
struct ScorePage {
    PageQuery query;              // the page shown and the name searched (empty: the whole table)
    std::int64_t totalRows = 0;   // rows of the whole table, or of that name when searching
    std::vector<RankedRow> rows;  // the rows of query.page in rank order: at most webPageSize
    // A weekly or daily board of the week or day under way (query resolved).
    bool currentPeriod = false;
    // The browser game is served: a link to play it, and one to watch each
    // verified row's game.
    bool playLinks = false;
};

// The download link of a replay: replayPath + "?id=N". Needs no escaping.
std::string ReplayLink(std::int64_t replayId);
// The browser game playing replay replayId: playLink + "?watch=N". Needs no escaping.
std::string WatchLink(std::int64_t replayId);

// Pages needed for totalRows rows: at least 1, so an empty table has a first page.
std::int64_t PageCount(std::int64_t totalRows);

// The whole document, UTF-8.
std::string RenderScorePage(const ScorePage& page);

// A small document in the page's look for a refused query or a failure:
// heading and message are plain text (escaped here). Its "back" link is
// relative ("?page=1"), so it suits the page's own paths.
std::string RenderMessagePage(std::string_view heading, std::string_view message);
