#include "server/score_store.h"

#include <sqlite3.h>

namespace {

constexpr int busyTimeoutMs = 5000;
constexpr int schemaVersion = 1;

// Resets a statement when leaving a scope, so no read transaction stays open
// between requests (an open one would hold back WAL checkpoints).
struct StatementReset {
    sqlite3_stmt* statement;
    ~StatementReset() {
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
    }
};

std::string Message(sqlite3* db, std::string_view what) {
    std::string text(what);
    text += ": ";
    text += db ? sqlite3_errmsg(db) : "out of memory";
    return text;
}

// Runs fixed SQL text (never built from input) to completion.
bool Execute(sqlite3* db, const char* sql, std::string& error) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
        error = Message(db, sql);
        return false;
    }
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    }
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE) {
        error = Message(db, sql);
        return false;
    }
    return true;
}

// Runs a fixed one-value query and returns its first column as integer text.
bool QueryText(sqlite3* db, const char* sql, std::string& value, std::string& error) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
        error = Message(db, sql);
        return false;
    }
    const int rc = sqlite3_step(statement);
    if (rc == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(statement, 0);
        value = text ? reinterpret_cast<const char*>(text) : "";
    }
    sqlite3_finalize(statement);
    if (rc != SQLITE_ROW) {
        error = Message(db, sql);
        return false;
    }
    return true;
}

bool Prepare(sqlite3* db, const char* sql, sqlite3_stmt** statement, std::string& error) {
    if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, statement, nullptr) != SQLITE_OK) {
        error = Message(db, "prepare");
        return false;
    }
    return true;
}

bool OpenConnection(const std::string& path, sqlite3** db, std::string& error) {
    // Each connection is used by one thread at a time under the store's own
    // mutexes, so SQLite's per-connection mutex is not needed.
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), db, flags, nullptr) != SQLITE_OK) {
        error = Message(*db, "cannot open " + path);
        return false;
    }
    sqlite3_extended_result_codes(*db, 1);
    sqlite3_busy_timeout(*db, busyTimeoutMs);
    return true;
}

// Creates the table on a fresh file and refuses a file of another layout.
bool PrepareSchema(sqlite3* db, std::string& error) {
    std::string version;
    if (!QueryText(db, "PRAGMA user_version", version, error)) return false;
    if (version == "0") {
        return Execute(db, "BEGIN IMMEDIATE", error) &&
               Execute(db,
                       "CREATE TABLE IF NOT EXISTS scores ("
                       " id INTEGER PRIMARY KEY,"
                       " name TEXT NOT NULL,"
                       " score INTEGER NOT NULL,"
                       " level INTEGER NOT NULL,"
                       " munchets INTEGER NOT NULL,"
                       " food INTEGER NOT NULL,"
                       " time INTEGER NOT NULL,"
                       " client TEXT NOT NULL)",
                       error) &&
               Execute(db, "CREATE INDEX IF NOT EXISTS scores_rank ON scores (score DESC, id ASC)", error) &&
               Execute(db, "PRAGMA user_version = 1", error) && Execute(db, "COMMIT", error);
    }
    if (version != std::to_string(schemaVersion)) {
        error = "database has an unknown layout (user_version " + version + ")";
        return false;
    }
    return true;
}

}  // namespace

ScoreStore::~ScoreStore() { Close(); }

bool ScoreStore::Open(const std::string& path, std::string& error) {
    Close();
    std::string mode;
    const bool ok = OpenConnection(path, &writer, error) &&
                    QueryText(writer, "PRAGMA journal_mode = WAL", mode, error) &&
                    Execute(writer, "PRAGMA synchronous = FULL", error) && PrepareSchema(writer, error) &&
                    Prepare(writer,
                            "INSERT INTO scores (name, score, level, munchets, food, time, client)"
                            " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)",
                            &insertStatement, error) &&
                    OpenConnection(path, &reader, error) && Execute(reader, "PRAGMA query_only = 1", error) &&
                    Prepare(reader, "PRAGMA data_version", &versionStatement, error) &&
                    Prepare(reader, "SELECT name, score FROM scores ORDER BY score DESC, id ASC LIMIT ?1",
                            &topStatement, error) &&
                    Prepare(reader, "SELECT count(*) FROM scores", &countStatement, error);
    if (ok && mode != "wal") {
        // Without WAL a commit is not ordered the way the durability promise needs.
        error = "cannot switch " + path + " to WAL mode (journal_mode is " + mode + ")";
        Close();
        return false;
    }
    if (!ok) Close();
    return ok;
}

void ScoreStore::Close() {
    std::scoped_lock lock(writeMutex, readMutex);
    for (sqlite3_stmt** statement : {&insertStatement, &versionStatement, &topStatement, &countStatement}) {
        sqlite3_finalize(*statement);
        *statement = nullptr;
    }
    sqlite3_close_v2(reader);
    reader = nullptr;
    sqlite3_close_v2(writer);
    writer = nullptr;
    cachedVersion = -1;
    cachedTable.clear();
}

bool ScoreStore::Add(const Submission& submission, std::int64_t unixTime, std::string_view client,
                     std::string& error) {
    std::lock_guard lock(writeMutex);
    if (!insertStatement) {
        error = "database is closed";
        return false;
    }
    StatementReset reset{insertStatement};
    sqlite3_bind_text(insertStatement, 1, submission.name.data(), static_cast<int>(submission.name.size()),
                      SQLITE_STATIC);
    sqlite3_bind_int(insertStatement, 2, submission.score);
    sqlite3_bind_int(insertStatement, 3, submission.level);
    sqlite3_bind_int(insertStatement, 4, submission.munchets);
    sqlite3_bind_int(insertStatement, 5, submission.food);
    sqlite3_bind_int64(insertStatement, 6, unixTime);
    sqlite3_bind_text(insertStatement, 7, client.data(), static_cast<int>(client.size()), SQLITE_STATIC);
    // Autocommit: SQLITE_DONE means the row is committed and, with
    // synchronous=FULL in WAL mode, the log has been synced.
    if (sqlite3_step(insertStatement) != SQLITE_DONE) {
        error = Message(writer, "insert");
        return false;
    }
    return true;
}

bool ScoreStore::TableText(std::string& text, std::string& error) {
    std::lock_guard lock(readMutex);
    if (!versionStatement) {
        error = "database is closed";
        return false;
    }
    std::int64_t version;
    {
        StatementReset reset{versionStatement};
        if (sqlite3_step(versionStatement) != SQLITE_ROW) {
            error = Message(reader, "data_version");
            return false;
        }
        version = sqlite3_column_int64(versionStatement, 0);
    }
    if (version != cachedVersion) {
        StatementReset reset{topStatement};
        sqlite3_bind_int(topStatement, 1, tableRowLimit);
        std::string table;
        int rc;
        while ((rc = sqlite3_step(topStatement)) == SQLITE_ROW) {
            const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(topStatement, 0));
            const int length = sqlite3_column_bytes(topStatement, 0);
            // A row edited by hand must still not break the line format.
            for (int i = 0; i < length; ++i) table.push_back(IsNameCharacter(name[i]) ? name[i] : '?');
            table.push_back(';');
            table += std::to_string(sqlite3_column_int64(topStatement, 1));
            table.push_back('\n');
        }
        if (rc != SQLITE_DONE) {
            error = Message(reader, "select");
            return false;
        }
        cachedTable = std::move(table);
        cachedVersion = version;
    }
    text = cachedTable;
    return true;
}

std::int64_t ScoreStore::RowCount() {
    std::lock_guard lock(readMutex);
    if (!countStatement) return -1;
    StatementReset reset{countStatement};
    if (sqlite3_step(countStatement) != SQLITE_ROW) return -1;
    return sqlite3_column_int64(countStatement, 0);
}
