// The score table in one SQLite file.
//
// Layout: one table
//   scores(id INTEGER PRIMARY KEY, name TEXT, score INTEGER, level INTEGER,
//          munchets INTEGER, food INTEGER, time INTEGER, client TEXT)
// with the index scores_rank on (score DESC, id ASC); id grows with every row,
// so it gives the order of arrival. The index scores_name on (name, score
// DESC, id ASC) serves the web page's search by name; Open adds it to a file
// made before it, which needs no new user_version since it changes no row.
// Replays add a column and a table (user_version 2, sqlite_replays.h), and
// tickets another column and table and a key file (user_version 3,
// sqlite_tickets.h), and ids that are never reused (user_version 4,
// sqlite_row_ids.h); Open migrates an older file in place. The moderation
// tables (moderation_schema.h) are added by Open where missing.
// The file is kept in WAL mode with synchronous=FULL: a committed transaction
// has its log synced to disk.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "server/store/score_store.h"

struct sqlite3;
struct sqlite3_stmt;
class SqliteRankedReader;

// Writes through one connection and reads the table through another, each
// behind its own mutex; the web page's reads borrow connections of their
// own. Not copyable.
class SqliteScoreStore final : public ScoreStore {
public:
    SqliteScoreStore();
    SqliteScoreStore(const SqliteScoreStore&) = delete;
    SqliteScoreStore& operator=(const SqliteScoreStore&) = delete;
    ~SqliteScoreStore() override;

    // Opens the database at path, creating the file and its table when absent.
    // An existing file must pass SQLite's quick_check and hold no table but
    // ours: a damaged file or another program's database is refused rather
    // than written to. False, with a message in error, and closed on failure.
    // shown: the rows ReadTop and ReadRanked see.
    bool Open(const std::string& path, std::string& error, ShownRows shown = ShownRows::all);
    // Closes every connection; the last close folds the write-ahead log into
    // the main file. A page read under way finishes on its own connection.
    void Close();

    bool AddBatch(std::span<const ScoreRow> rows, std::string& error) override;
    bool ReadTop(std::vector<TableRow>& rows, std::string& error) override;
    // Each thread reading at once gets a connection of its own, opened on
    // first need and kept for the next read: as many as threads read at once.
    bool ReadRanked(const RankedQuery& query, RankedPage& page, std::string& error) override;
    // "INSTANCE.VERSION": INSTANCE is drawn at random by each Open, and
    // VERSION is SQLite's data_version of the table reader's connection, which
    // changes with every commit any other connection makes, the writer's
    // included.
    bool ReadChangeStamp(std::string& stamp, std::string& error) override;
    bool StoreReplay(const ReplaySubmission& replay, StoredReplay& stored, std::string& error) override;
    bool ReadReplay(std::int64_t id, std::optional<std::string>& bytes, std::string& error) override;
    bool ReadBans(std::int64_t unixTime, std::vector<Ban>& bans, std::string& error) override;
    bool ReadTicketKey(TicketKey& key, std::string& error) override;
    bool RecordTicketStart(std::uint64_t id, std::int64_t unixMs, std::string& error) override;
    bool ReadTicket(std::uint64_t id, TicketRecord& record, std::string& error) override;

    // Number of stored rows, or -1 on error.
    std::int64_t RowCount();

private:
    bool InsertAll(std::span<const ScoreRow> rows, std::string& error);

    std::mutex writeMutex;
    sqlite3* writer = nullptr;
    sqlite3_stmt* beginStatement = nullptr;
    sqlite3_stmt* insertStatement = nullptr;
    sqlite3_stmt* commitStatement = nullptr;
    TicketKey ticketKey{};  // read by Open

    std::mutex readMutex;
    sqlite3* reader = nullptr;
    sqlite3_stmt* topStatement = nullptr;
    sqlite3_stmt* countStatement = nullptr;
    sqlite3_stmt* dataVersionStatement = nullptr;
    std::string instance;  // the stamp's first part

    std::mutex rankedMutex;
    std::string rankedPath;  // the file page readers open; empty while closed
    ShownRows rankedShown = ShownRows::all;
    std::uint64_t rankedGeneration = 0;  // counts Open and Close: a reader lent before goes back to no pool
    std::vector<std::unique_ptr<SqliteRankedReader>> idleRankedReaders;
};
