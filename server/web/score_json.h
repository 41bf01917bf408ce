// The highscore page's twin for tools and bots (GET /api/scores?page=N and
// ?name=...): the same rows as JSON, in pure ASCII, so any reader gets valid
// UTF-8 whatever bytes a stored name holds.
//
// Format (one object; every key always present):
//   {"page":1,"pageSize":25,"pageCount":4,"total":87,"name":null,
//    "rows":[{"rank":1,"name":"ab c","score":15300,"level":1,"munchets":3,
//             "food":-17,"time":1769860800,"date":"2026-01-31T12:00:00Z",
//             "verified":false,"replay":null}, ...]}
// - name: the exact name searched, or null for the whole table; total counts
//   that name's rows then.
// - level, munchets, food: the counters as the game submitted them (level 0
//   is the first level, which the game and the page show as level 1).
// - time: seconds since 1970 UTC; date: the same in ISO 8601, or null when
//   the year lies outside 1..9999.
// - name strings: bytes that are not valid UTF-8 arrive as U+FFFD.
// - replay: the download path of the game's replay, or null.
#pragma once

#include <string>
#include <string_view>

#include "server/web/web_page.h"

std::string RenderScoreJson(const ScorePage& page);

// {"error":"MESSAGE"} for a refused query or a failure.
std::string RenderJsonError(std::string_view message);
