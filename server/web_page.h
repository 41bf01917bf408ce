// The highscore table as a web page: plain records in, a complete HTML5
// document out. No script, no inline style (the page must work under the
// strict Content-Security-Policy of web_headers.h), one stylesheet at
// stylePath.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/page_query.h"

inline constexpr std::string_view stylePath = "/style.css";
inline constexpr std::string_view replayPath = "/hosted/vlkn/scores/pr/replay.php";
inline constexpr std::string_view apiPath = "/api/scores";  // the JSON twin, same query

// One stored game as the page shows it.
struct RankedRow {
    // 1-based place in the whole table: best score first, equal scores in arrival order.
    std::int64_t rank = 0;
    std::string name;                      // as stored: untrusted bytes, any length
    std::int32_t score = 0;                // the counters as submitted
    std::int32_t level = 0;                // level reached; 0 is the first level (the game shows it as 1)
    std::int32_t munchets = 0;             // +(level + 1) for each munchet eaten
    std::int32_t food = 0;                 // +1 per item the munchets ate, -5 x (level + 1) per item saved
    std::int64_t unixTime = 0;             // when it was stored, seconds since 1970 UTC
    bool verified = false;                 // a replay of the game reproduced this score
    std::optional<std::int64_t> replayId;  // the game's replay can be downloaded under this id

    bool operator==(const RankedRow&) const = default;
};

// One page of the table, or of one player's rows.
struct ScorePage {
    PageQuery query;              // the page shown and the name searched (empty: the whole table)
    std::int64_t totalRows = 0;   // rows of the whole table, or of that name when searching
    std::vector<RankedRow> rows;  // the rows of query.page in rank order: at most webPageSize
};

// The download link of a replay: replayPath + "?id=N". Needs no escaping.
std::string ReplayLink(std::int64_t replayId);

// Pages needed for totalRows rows: at least 1, so an empty table has a first page.
std::int64_t PageCount(std::int64_t totalRows);

// The whole document, UTF-8.
std::string RenderScorePage(const ScorePage& page);

// A small document in the page's look for a refused query or a failure:
// heading and message are plain text (escaped here). Its "back" link is
// relative ("?page=1"), so it suits the page's own paths.
std::string RenderMessagePage(std::string_view heading, std::string_view message);
