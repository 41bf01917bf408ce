#include "server/web/page_query.h"

#include <charconv>
#include <climits>
#include <cstdio>

#include "server/web/web_text.h"

namespace {

// Every byte of a page number may arrive escaped ("%31" for "1").
constexpr std::size_t maxRawPageLength = 3 * 7;
constexpr std::size_t maxRawNameLength = 3 * maxSearchNameLength;

constexpr std::string_view badPage = "page must be a whole number from 1 to 1000000";

bool ParsePage(std::string_view raw, std::int32_t& page) {
    std::string decoded;
    if (raw.size() > maxRawPageLength || !FormDecode(raw, decoded)) return false;
    const char* end = decoded.data() + decoded.size();
    if (decoded.empty() || decoded[0] < '0' || decoded[0] > '9') return false;  // no sign, no blank
    const auto [ptr, ec] = std::from_chars(decoded.data(), end, page);
    return ec == std::errc() && ptr == end && page >= 1 && page <= maxWebPage;
}

// "YYYY-MM-DD" as the first second of that UTC day.
bool ParseDay(std::string_view raw, std::int64_t& start) {
    std::string text;
    if (raw.size() > 3 * 10 || !FormDecode(raw, text) || text.size() != 10 || text[4] != '-' ||
        text[7] != '-')
        return false;
    int parts[3] = {};
    for (int i = 0; i < 3; ++i) {
        const std::size_t at = i == 0 ? 0 : (i == 1 ? 5 : 8);
        const std::size_t length = i == 0 ? 4 : 2;
        const auto [ptr, ec] = std::from_chars(text.data() + at, text.data() + at + length, parts[i]);
        if (ec != std::errc() || ptr != text.data() + at + length) return false;
    }
    const int year = parts[0], month = parts[1], day = parts[2];
    if (year < 1970 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31) return false;
    // Days from the civil date (Howard Hinnant's algorithm), no time zone involved.
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = y / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    start = (std::int64_t{era} * 146097 + dayOfEra - 719468) * secondsPerDay;
    return true;
}

std::string DayText(std::int64_t start) {
    // The civil date of a day number (the inverse of ParseDay's).
    const std::int64_t z = start / secondsPerDay + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char text[48];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", static_cast<long long>(year),
                  static_cast<long long>(month), static_cast<long long>(day));
    return text;
}

}  // namespace

std::int64_t DayStart(std::int64_t unixTime) {
    const std::int64_t day = unixTime >= 0 ? unixTime / secondsPerDay : (unixTime + 1) / secondsPerDay - 1;
    return day * secondsPerDay;
}

std::int64_t WeekStart(std::int64_t unixTime) {
    const std::int64_t day = DayStart(unixTime) / secondsPerDay;
    // 1970-01-01 was a Thursday: day 0 is three days past a Monday.
    const std::int64_t sinceMonday = ((day + 3) % 7 + 7) % 7;
    return (day - sinceMonday) * secondsPerDay;
}

void ResolveBoard(PageQuery& query, std::int64_t now) {
    if (query.periodStart != 0) return;
    if (query.board == Board::week) query.periodStart = WeekStart(now);
    if (query.board == Board::today) query.periodStart = DayStart(now);
}

BoardRange RangeOf(const PageQuery& query) {
    switch (query.board) {
        case Board::week:
            return {query.periodStart, query.periodStart + 7 * secondsPerDay};
        case Board::today:
            return {query.periodStart, query.periodStart + secondsPerDay};
        case Board::all:
            break;
    }
    return {INT64_MIN, INT64_MAX};
}

PageQueryResult ParsePageQuery(std::string_view rawQuery) {
    if (rawQuery.size() > maxWebQueryLength) return {std::nullopt, "query too long"};
    std::optional<std::string_view> rawPage;
    std::optional<std::string_view> rawName;
    std::optional<std::string_view> rawBoard;
    std::optional<std::string_view> rawWeek;
    while (!rawQuery.empty()) {
        const std::size_t amp = rawQuery.find('&');
        const std::string_view pair = rawQuery.substr(0, amp);
        rawQuery.remove_prefix(amp == std::string_view::npos ? rawQuery.size() : amp + 1);
        const std::size_t eq = pair.find('=');
        const std::string_view key = pair.substr(0, eq);
        const std::string_view value =
            eq == std::string_view::npos ? std::string_view{} : pair.substr(eq + 1);
        if (key == "page") {
            if (rawPage) return {std::nullopt, "page given twice"};
            rawPage = value;
        } else if (key == "name") {
            if (rawName) return {std::nullopt, "name given twice"};
            rawName = value;
        } else if (key == "board") {
            if (rawBoard) return {std::nullopt, "board given twice"};
            rawBoard = value;
        } else if (key == "week") {
            if (rawWeek) return {std::nullopt, "week given twice"};
            rawWeek = value;
        }
    }

    PageQuery query;
    if (rawPage && !ParsePage(*rawPage, query.page)) return {std::nullopt, badPage};
    if (rawName) {
        if (rawName->size() > maxRawNameLength) return {std::nullopt, "name longer than 64 bytes"};
        if (!FormDecode(*rawName, query.name)) return {std::nullopt, "bad percent-escape in name"};
        if (query.name.size() > maxSearchNameLength) return {std::nullopt, "name longer than 64 bytes"};
    }
    if (rawBoard) {
        if (*rawBoard == "week") {
            query.board = Board::week;
        } else if (*rawBoard == "today") {
            query.board = Board::today;
        } else if (*rawBoard != "all" && !rawBoard->empty()) {
            return {std::nullopt, "board must be all, week or today"};
        }
    }
    if (rawWeek) {
        if (query.board == Board::today) return {std::nullopt, "week goes with board=week"};
        std::int64_t day = 0;
        if (!ParseDay(*rawWeek, day)) return {std::nullopt, "week must be a date, YYYY-MM-DD"};
        query.board = Board::week;
        query.periodStart = WeekStart(day);
    }
    if (query.board != Board::all && !query.name.empty())
        return {std::nullopt, "a search by name covers the all-time table only"};
    return {std::move(query), {}};
}

std::string PeriodDay(std::int64_t start) { return DayText(start); }

std::string PageLink(const PageQuery& query) {
    std::string link = "?";
    if (!query.name.empty()) {
        link += "name=";
        AppendPercentEncoded(link, query.name);
        link += '&';
    }
    if (query.board == Board::today) link += "board=today&";
    if (query.board == Board::week) {
        link += "board=week&";
        if (query.periodStart != 0) link += "week=" + DayText(query.periodStart) + "&";
    }
    link += "page=";
    link += std::to_string(query.page);
    return link;
}
