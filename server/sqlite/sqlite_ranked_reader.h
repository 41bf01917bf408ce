// The web page's reads of the score file: one page of the table, or of one
// name's rows, each row with its rank in the whole table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "server/store/score_store.h"
#include "server/store/spread_ranks.h"

struct sqlite3;
struct sqlite3_stmt;

// One connection of its own, so a page read never waits for the committing
// thread or the table cache's reads; in WAL mode it does not wait for a
// commit either. Used by one thread at a time; not copyable.
class SqliteRankedReader {
public:
    SqliteRankedReader() = default;
    SqliteRankedReader(const SqliteRankedReader&) = delete;
    SqliteRankedReader& operator=(const SqliteRankedReader&) = delete;
    ~SqliteRankedReader();

    // Opens the score file at path, which SqliteScoreStore::Open has checked
    // and given its indexes; shown: the rows it counts and reads. False with
    // a message.
    bool Open(const std::string& path, ShownRows shown, std::string& error);

    // The count and the rows come from one snapshot of the file. A rank is
    // 1 + the rows of a higher score + the earlier rows of the same score.
    // False with a message.
    bool Read(const RankedQuery& query, RankedPage& page, std::string& error);

private:
    bool ReadInTransaction(const RankedQuery& query, RankedPage& page, std::string& error);
    // The rows between two places in rank order (spread_ranks.h).
    bool CountBetween(const RankPlace* after, const RankPlace& place, std::int64_t& count,
                      std::string& error);

    sqlite3* db = nullptr;
    sqlite3_stmt* begin = nullptr;
    sqlite3_stmt* commit = nullptr;
    sqlite3_stmt* countAll = nullptr;
    sqlite3_stmt* pageAll = nullptr;
    sqlite3_stmt* countPeriod = nullptr;
    sqlite3_stmt* pagePeriod = nullptr;
    sqlite3_stmt* countName = nullptr;
    sqlite3_stmt* pageName = nullptr;
    sqlite3_stmt* above = nullptr;
    sqlite3_stmt* between = nullptr;
};
