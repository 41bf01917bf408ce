// The score table on disk: one SQLite file in WAL mode, written through one
// connection and read through another, both safe to share between the
// server's worker threads.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "server/submission.h"

struct sqlite3;
struct sqlite3_stmt;

inline constexpr int tableRowLimit = 100;  // rows in the table text

// Owns the two connections and their prepared statements; not copyable.
// Every public operation may be called from any thread at any time.
class ScoreStore {
public:
    ScoreStore() = default;
    ScoreStore(const ScoreStore&) = delete;
    ScoreStore& operator=(const ScoreStore&) = delete;
    ~ScoreStore();

    // Opens or creates the database at path (created with its table if absent).
    // False, with a message in error, when the file cannot be used; the store
    // is then closed.
    bool Open(const std::string& path, std::string& error);
    void Close();

    // Stores one row and returns only after the transaction is committed with
    // a full sync, so a true result survives a crash or a power cut.
    // unixTime: seconds since 1970; client: the submitter's address.
    bool Add(const Submission& submission, std::int64_t unixTime, std::string_view client,
             std::string& error);

    // The table as served by view.php: at most tableRowLimit lines "name;score\n",
    // highest score first, equal scores in the order they were stored. Rebuilt
    // only when the database changed since the last call (also by another
    // process). False with a message when the database cannot be read.
    bool TableText(std::string& text, std::string& error);

    // Number of stored rows, or -1 on error.
    std::int64_t RowCount();

private:
    std::mutex writeMutex;
    sqlite3* writer = nullptr;
    sqlite3_stmt* insertStatement = nullptr;

    std::mutex readMutex;
    sqlite3* reader = nullptr;
    sqlite3_stmt* versionStatement = nullptr;
    sqlite3_stmt* topStatement = nullptr;
    sqlite3_stmt* countStatement = nullptr;
    std::int64_t cachedVersion = -1;  // data_version the cached table was built at; -1: none
    std::string cachedTable;
};
