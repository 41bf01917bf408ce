// The score table in one SQLite file.
//
// Layout (user_version 1): one table
//   scores(id INTEGER PRIMARY KEY, name TEXT, score INTEGER, level INTEGER,
//          munchets INTEGER, food INTEGER, time INTEGER, client TEXT)
// with the index scores_rank on (score DESC, id ASC); id grows with every row,
// so it gives the order of arrival. The file is kept in WAL mode with
// synchronous=FULL: a committed transaction has its log synced to disk.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "server/score_store.h"

struct sqlite3;
struct sqlite3_stmt;

// Writes through one connection and reads through another, each behind its
// own mutex; not copyable.
class SqliteScoreStore final : public ScoreStore {
public:
    SqliteScoreStore() = default;
    SqliteScoreStore(const SqliteScoreStore&) = delete;
    SqliteScoreStore& operator=(const SqliteScoreStore&) = delete;
    ~SqliteScoreStore() override;

    // Opens the database at path, creating the file and its table when absent.
    // An existing file must pass SQLite's quick_check and hold no table but
    // ours: a damaged file or another program's database is refused rather
    // than written to. False, with a message in error, and closed on failure.
    bool Open(const std::string& path, std::string& error);
    // Closes both connections; the last close folds the write-ahead log into
    // the main file.
    void Close();

    bool AddBatch(std::span<const ScoreRow> rows, std::string& error) override;
    bool ReadTop(std::vector<TableRow>& rows, std::string& error) override;

    // Number of stored rows, or -1 on error.
    std::int64_t RowCount();

private:
    bool InsertAll(std::span<const ScoreRow> rows, std::string& error);

    std::mutex writeMutex;
    sqlite3* writer = nullptr;
    sqlite3_stmt* beginStatement = nullptr;
    sqlite3_stmt* insertStatement = nullptr;
    sqlite3_stmt* commitStatement = nullptr;

    std::mutex readMutex;
    sqlite3* reader = nullptr;
    sqlite3_stmt* topStatement = nullptr;
    sqlite3_stmt* countStatement = nullptr;
};
