// The query of the highscore page and of its JSON twin ("?page=N&name=..."),
// and the one parser that turns the untrusted raw query into it.
//
// Format: pairs "key=value" joined by '&', values form-encoded ("%XX", and
// '+' for a blank, as an HTML form sends them).
// - page: the page to show, 1-based, a plain decimal number from 1 to
//   maxWebPage; absent means 1. Past the last page is not an error here: the
//   page says so, as only the store knows how many rows there are.
// - name: show only the rows of this exact name (byte for byte, case
//   included); absent or empty means the whole table. At most
//   maxSearchNameLength bytes after decoding, any bytes: a name from a copied
//   database may hold anything, and it is escaped wherever it is shown.
// - board: "all" (the default), "week" or "today": the all-time table, the
//   best of one week (Monday 00:00 to Monday 00:00 UTC) or of today (UTC).
// - week: a day of the week to show, YYYY-MM-DD; implies board=week. Absent
//   on a weekly board: the current week. A name search covers the all-time
//   table alone, so name with another board is refused.
// - every other key is ignored: shared links pick up tracking keys on the
//   way, and a reader who follows one still wants the table.
// Empty pairs ("&&") are skipped, and a key without '=' has an empty value.
// page or name given twice is refused rather than guessed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr int webPageSize = 25;                  // rows on one page
inline constexpr std::int32_t maxWebPage = 1'000'000;   // 25 million rows deep
inline constexpr std::size_t maxWebQueryLength = 2048;  // raw bytes, tracking keys included
inline constexpr std::size_t maxSearchNameLength = 64;  // bytes after decoding

enum class Board { all, week, today };

inline constexpr std::int64_t secondsPerDay = 86400;

struct PageQuery {
    std::int32_t page = 1;  // 1..maxWebPage
    std::string name;       // empty: the whole table
    Board board = Board::all;
    // The first second (UTC) of the week or day shown; 0: the current one,
    // for ResolveBoard to fill in from the clock.
    std::int64_t periodStart = 0;

    bool operator==(const PageQuery&) const = default;
};

// The start of the UTC day, and of the week (Monday), that hold unixTime.
std::int64_t DayStart(std::int64_t unixTime);
std::int64_t WeekStart(std::int64_t unixTime);

// Fixes a weekly or daily board that names no period to the one holding now.
void ResolveBoard(PageQuery& query, std::int64_t now);

// The seconds [since, until) a resolved query's board covers.
struct BoardRange {
    std::int64_t since;
    std::int64_t until;
};
BoardRange RangeOf(const PageQuery& query);

// A period's first day as YYYY-MM-DD.
std::string PeriodDay(std::int64_t start);

struct PageQueryResult {
    std::optional<PageQuery> query;  // set when the query is valid
    std::string_view error;          // short plain-text reason (static storage); empty when valid
};

// rawQuery: the text after '?', still encoded (empty when there is none).
PageQueryResult ParsePageQuery(std::string_view rawQuery);

// The relative link to this view, "?page=N", "?name=ENCODED&page=N",
// "?board=today&page=N" or "?board=week&week=YYYY-MM-DD&page=N" (no week for
// a current week not resolved yet), with the name percent-encoded; ParsePageQuery of the text after '?' gives
// the query back. Still needs HTML escaping inside an attribute (the '&').
std::string PageLink(const PageQuery& query);
