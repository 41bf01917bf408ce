#include "server/sqlite/sqlite_ranked_reader.h"

#include <sqlite3.h>

#include <climits>
#include <utility>

#include "server/sql/moderation_schema.h"
#include "server/sql/sqlite_connection.h"

namespace {

// A page read waits this long at most for a lock (only a recovering or
// exclusive connection holds one against WAL readers), then the page says
// the scores cannot be read rather than keep its reader waiting.
constexpr int busyTimeoutMs = 1000;

}  // namespace

SqliteRankedReader::~SqliteRankedReader() {
    for (sqlite3_stmt* statement :
         {begin, commit, countAll, pageAll, countPeriod, pagePeriod, countName, pageName, above, between})
        sqlite3_finalize(statement);
    sqlite3_close_v2(db);
}

bool SqliteRankedReader::Open(const std::string& path, ShownRows shown, std::string& error) {
    // {W} and {A} become the filter of shown rows (not hidden, and verified
    // when only those are shown), as a WHERE clause or as one more
    // condition; {VW} and {VA} the filter of verified rows alone.
    const bool onlyVerified = shown == ShownRows::verifiedOnly;
    const std::string filter =
        std::string(moderation::shownCondition) + (onlyVerified ? " AND verified = 1" : "");
    const std::pair<std::string_view, std::string> marks[] = {
        {"{W}", " WHERE " + filter},
        {"{A}", " AND " + filter},
        {"{VW}", onlyVerified ? " WHERE verified = 1" : ""},
        {"{VA}", onlyVerified ? " AND verified = 1" : ""}};
    const auto prepare = [&](std::string text, sqlite3_stmt** statement) {
        for (const auto& [mark, replacement] : marks) {
            for (std::size_t at; (at = text.find(mark)) != std::string::npos;)
                text.replace(at, mark.size(), replacement);
        }
        return sql::Prepare(db, text.c_str(), statement, error);
    };
    return sql::Open(path, busyTimeoutMs, &db, error) && sql::Execute(db, "PRAGMA query_only = 1", error) &&
           sql::Prepare(db, "BEGIN", &begin, error) && sql::Prepare(db, "COMMIT", &commit, error) &&
           // A count is the rows on the covering index less the hidden ones
           // among them, found from the hidden side: a filter on every row
           // would cost a count of the whole table ten times as much.
           prepare(
               "SELECT (SELECT count(*) FROM scores{VW}) - (SELECT count(*) FROM hidden_scores"
               " CROSS JOIN scores ON scores.id = score_id{VW})",
               &countAll) &&
           // The offset is counted on the covering index alone, and only the
           // page's own rows are then looked up: far cheaper on a deep page.
           prepare(
               "SELECT s.name, s.score, s.level, s.munchets, s.food, s.time, s.id, s.verified, r.id, "
               "s.players FROM"
               " (SELECT id FROM scores{W} ORDER BY score DESC, id ASC LIMIT ?1 OFFSET ?2) AS page"
               " JOIN scores s ON s.id = page.id LEFT JOIN replays r ON r.score_id = s.id"
               " ORDER BY s.score DESC, s.id ASC",
               &pageAll) &&
           // A board of one period: ranked among its own rows.
           prepare(
               "SELECT (SELECT count(*) FROM scores WHERE time >= ?1 AND time < ?2{VA}) - (SELECT count(*)"
               " FROM hidden_scores CROSS JOIN scores ON scores.id = score_id WHERE time >= ?1 AND time < "
               "?2{VA})",
               &countPeriod) &&
           prepare(
               "SELECT s.name, s.score, s.level, s.munchets, s.food, s.time, s.id, s.verified, r.id FROM"
               " (SELECT id FROM scores WHERE time >= ?3 AND time < ?4{A} ORDER BY score DESC, id ASC"
               " LIMIT ?1 OFFSET ?2) AS page"
               " JOIN scores s ON s.id = page.id LEFT JOIN replays r ON r.score_id = s.id"
               " ORDER BY s.score DESC, s.id ASC",
               &pagePeriod) &&
           prepare(
               "SELECT (SELECT count(*) FROM scores WHERE name = ?1{VA}) - (SELECT count(*)"
               " FROM hidden_scores CROSS JOIN scores ON scores.id = score_id WHERE name = ?1{VA})",
               &countName) &&
           prepare(
               "SELECT s.name, s.score, s.level, s.munchets, s.food, s.time, s.id, s.verified, r.id, "
               "s.players FROM"
               " (SELECT id FROM scores WHERE name = ?1{A} ORDER BY score DESC, id ASC LIMIT ?2 OFFSET ?3)"
               " AS page JOIN scores s ON s.id = page.id LEFT JOIN replays r ON r.score_id = s.id"
               " ORDER BY s.score DESC, s.id ASC",
               &pageName) &&
           // Rows ahead of (?1 score, ?2 id) in rank order.
           prepare(
               "SELECT (SELECT count(*) FROM scores WHERE score > ?1{A})"
               " + (SELECT count(*) FROM scores WHERE score = ?1 AND id < ?2{A})",
               &above) &&
           // Rows between (?1 score, ?2 id) and the later (?3, ?4) in rank
           // order: each part a range of scores_rank holding only such rows.
           prepare(
               "SELECT CASE WHEN ?1 = ?3"
               " THEN (SELECT count(*) FROM scores WHERE score = ?1 AND id > ?2 AND id < ?4{A})"
               " ELSE (SELECT count(*) FROM scores WHERE score = ?1 AND id > ?2{A})"
               " + (SELECT count(*) FROM scores WHERE score < ?1 AND score > ?3{A})"
               " + (SELECT count(*) FROM scores WHERE score = ?3 AND id < ?4{A}) END",
               &between);
}

bool SqliteRankedReader::Read(const RankedQuery& query, RankedPage& page, std::string& error) {
    page = {};
    if (!pageName) {
        error = "database is closed";
        return false;
    }
    if (!sql::Step(db, begin, "begin", error)) return false;
    const bool read = ReadInTransaction(query, page, error) && sql::Step(db, commit, "commit", error);
    if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    if (!read) page = {};
    return read;
}

bool SqliteRankedReader::ReadInTransaction(const RankedQuery& query, RankedPage& page, std::string& error) {
    const bool byName = !query.name.empty();
    const bool byPeriod = !byName && (query.since != INT64_MIN || query.until != INT64_MAX);
    sqlite3_stmt* count = byName ? countName : (byPeriod ? countPeriod : countAll);
    sqlite3_stmt* rows = byName ? pageName : (byPeriod ? pagePeriod : pageAll);
    sql::ResetOnExit resetCount{count};
    sql::ResetOnExit resetRows{rows};
    const std::int64_t offset = query.offset < 0 ? 0 : query.offset;
    int parameter = 1;
    if (byName) {
        const auto length = static_cast<int>(query.name.size());
        sqlite3_bind_text(count, 1, query.name.data(), length, SQLITE_STATIC);
        sqlite3_bind_text(rows, parameter++, query.name.data(), length, SQLITE_STATIC);
    }
    sqlite3_bind_int(rows, parameter++, query.limit < 0 ? 0 : query.limit);
    sqlite3_bind_int64(rows, parameter, offset);
    if (byPeriod) {
        sqlite3_bind_int64(count, 1, query.since);
        sqlite3_bind_int64(count, 2, query.until);
        sqlite3_bind_int64(rows, 3, query.since);
        sqlite3_bind_int64(rows, 4, query.until);
    }

    if (sqlite3_step(count) != SQLITE_ROW) {
        error = sql::Message(db, "count");
        return false;
    }
    page.total = sqlite3_column_int64(count, 0);
    std::vector<RankPlace> places;
    int rc;
    while ((rc = sqlite3_step(rows)) == SQLITE_ROW) {
        RankedRow row;
        row.name = sql::Text(rows, 0);
        row.score = sql::Int32(rows, 1);
        row.level = sql::Int32(rows, 2);
        row.munchets = sql::Int32(rows, 3);
        row.food = sql::Int32(rows, 4);
        row.unixTime = sqlite3_column_int64(rows, 5);
        row.verified = sqlite3_column_int(rows, 7) != 0;
        if (sqlite3_column_type(rows, 8) != SQLITE_NULL) row.replayId = sqlite3_column_int64(rows, 8);
        row.players = sql::Int32(rows, 9);
        // Over the whole table a row's rank is its place in the order read.
        row.rank = offset + static_cast<std::int64_t>(page.rows.size()) + 1;
        places.push_back({sqlite3_column_int64(rows, 1), sqlite3_column_int64(rows, 6)});
        page.rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) {
        error = sql::Message(db, "select");
        return false;
    }
    return !byName || RankSpreadRows(
                          page.rows, places,
                          [this](const RankPlace* after, const RankPlace& place, std::int64_t& count,
                                 std::string& message) { return CountBetween(after, place, count, message); },
                          error);
}

bool SqliteRankedReader::CountBetween(const RankPlace* after, const RankPlace& place, std::int64_t& count,
                                      std::string& error) {
    sqlite3_stmt* statement = after ? between : above;
    sql::ResetOnExit reset{statement};
    int parameter = 1;
    if (after) {
        sqlite3_bind_int64(statement, parameter++, after->score);
        sqlite3_bind_int64(statement, parameter++, after->id);
    }
    sqlite3_bind_int64(statement, parameter++, place.score);
    sqlite3_bind_int64(statement, parameter, place.id);
    if (sqlite3_step(statement) != SQLITE_ROW) {
        error = sql::Message(db, "rank");
        return false;
    }
    count = sqlite3_column_int64(statement, 0);
    return true;
}
