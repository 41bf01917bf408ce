#include "server/sqlite/sqlite_score_store.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <random>

#include "server/sql/moderation_schema.h"
#include "server/sql/sql_session.h"
#include "server/sql/sqlite_connection.h"
#include "server/sqlite/sqlite_ranked_reader.h"
#include "server/sqlite/sqlite_replays.h"
#include "server/sqlite/sqlite_row_ids.h"
#include "server/sqlite/sqlite_tickets.h"

namespace {

constexpr int busyTimeoutMs = 5000;
constexpr std::size_t maxReportedProblems = 3;

using sql::Execute;
using sql::Message;
using sql::Prepare;
using sql::Query;
using sql::Step;

// Each connection is used by one thread at a time under the store's own
// mutexes, so SQLite's per-connection mutex is not needed.
bool OpenConnection(const std::string& path, sqlite3** db, std::string& error) {
    return sql::Open(path, busyTimeoutMs, db, error);
}

// Tells two runs of the store apart in its change stamp: 64 random bits.
std::string NewInstance() {
    std::random_device random;
    const std::uint64_t bits =
        (std::uint64_t{random()} << 32) ^ random() ^
        static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(bits));
    return text;
}

std::string Joined(const std::vector<std::string>& values) {
    std::string text;
    for (std::size_t i = 0; i < values.size() && i < maxReportedProblems; ++i) {
        if (i > 0) text += "; ";
        text += values[i];
    }
    if (values.size() > maxReportedProblems) text += "; ...";
    return text;
}

// A file that SQLite itself finds damaged is refused: writing to it could
// spread the damage, and the administrator should restore a backup instead.
bool CheckIntact(sqlite3* db, const std::string& path, std::string& error) {
    std::vector<std::string> problems;
    if (!Query(db, "PRAGMA quick_check", problems, error)) {
        error = path + " failed SQLite's quick_check (" + error + "); restore a backup";
        return false;
    }
    if (problems.size() == 1 && problems.front() == "ok") return true;
    error = path + " failed SQLite's quick_check (" + Joined(problems) + "); restore a backup";
    return false;
}

// Tells whether the file is new (no table yet) or ours. A file that holds
// any table but ours belongs to another program, or is not what --db was
// meant to name: it is refused, never adopted. Reads only, so a refused file
// is left exactly as it was.
bool CheckSchema(sqlite3* db, const std::string& path, bool& fresh, std::string& error) {
    std::vector<std::string> version;
    std::vector<std::string> tables;
    if (!Query(db, "PRAGMA user_version", version, error) ||
        !Query(
            db,
            "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'"
            " ORDER BY name",
            tables, error)) {
        return false;
    }
    const std::string userVersion = version.empty() ? "?" : version.front();
    fresh = userVersion == "0";
    if (fresh) {
        if (tables.empty()) return true;
        error = path + " holds tables of another program (" + Joined(tables) + "); refusing to use it";
        return false;
    }
    // Versions 1 to 3 are the layouts before replays, tickets and lasting ids;
    // Open migrates them.
    if (userVersion != "1" && userVersion != "2" && userVersion != "3" && userVersion != "4") {
        error = "database has an unknown layout (user_version " + userVersion + ")";
        return false;
    }
    std::erase(tables, "scores");
    std::erase(tables, "replays");
    std::erase_if(tables, sql::IsModerationTable);
    std::erase(tables, "tickets");
    if (!tables.empty()) {
        error = path + " holds tables besides ours (" + Joined(tables) + "); refusing to use it";
        return false;
    }
    return true;
}

constexpr const char* nameIndex =
    "CREATE INDEX IF NOT EXISTS scores_name ON scores (name, score DESC, id ASC)";

bool CreateSchema(sqlite3* db, std::string& error) {
    return Execute(db, "BEGIN IMMEDIATE", error) &&
           Execute(db,
                   "CREATE TABLE scores ("
                   " id INTEGER PRIMARY KEY,"
                   " name TEXT NOT NULL,"
                   " score INTEGER NOT NULL,"
                   " level INTEGER NOT NULL,"
                   " munchets INTEGER NOT NULL,"
                   " food INTEGER NOT NULL,"
                   " time INTEGER NOT NULL,"
                   " client TEXT NOT NULL)",
                   error) &&
           Execute(db, "CREATE INDEX scores_rank ON scores (score DESC, id ASC)", error) &&
           Execute(db, nameIndex, error) && Execute(db, "PRAGMA user_version = 1", error) &&
           Execute(db, "COMMIT", error);
}

}  // namespace

SqliteScoreStore::SqliteScoreStore() = default;

SqliteScoreStore::~SqliteScoreStore() { Close(); }

bool SqliteScoreStore::Open(const std::string& path, std::string& error, ShownRows shown) {
    Close();
    std::vector<std::string> mode;
    bool fresh = false;
    // Checked before anything is written: a file that is refused stays untouched.
    bool ok = OpenConnection(path, &writer, error) && CheckIntact(writer, path, error) &&
              CheckSchema(writer, path, fresh, error) &&
              Query(writer, "PRAGMA journal_mode = WAL", mode, error);
    if (ok && (mode.empty() || mode.front() != "wal")) {
        // Without WAL a commit is not ordered the way the durability promise needs.
        error = "cannot switch " + path + " to WAL mode";
        ok = false;
    }
    ok = ok && Execute(writer, "PRAGMA synchronous = FULL", error) &&
         (fresh ? CreateSchema(writer, error) : Execute(writer, nameIndex, error)) &&
         sql::MigrateToReplays(writer, error) && sql::MigrateToTickets(writer, error) &&
         sql::MigrateToLastingIds(writer, error) && sql::AddModeration(writer, error) &&
         Execute(writer, "PRAGMA foreign_keys = ON", error) &&
         LoadOrMakeKeyFile(path + ".key", ticketKey, error) &&
         Prepare(writer, "BEGIN IMMEDIATE", &beginStatement, error) &&
         Prepare(writer,
                 "INSERT INTO scores (name, score, level, munchets, food, time, client)"
                 " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)",
                 &insertStatement, error) &&
         Prepare(writer, "COMMIT", &commitStatement, error) && OpenConnection(path, &reader, error) &&
         Execute(reader, "PRAGMA query_only = 1", error) &&
         Prepare(reader,
                 (std::string("SELECT name, score FROM scores WHERE ") + moderation::shownCondition +
                  (shown == ShownRows::verifiedOnly ? " AND verified = 1" : "") +
                  " ORDER BY score DESC, id ASC LIMIT ?1")
                     .c_str(),
                 &topStatement, error) &&
         Prepare(reader, "SELECT count(*) FROM scores", &countStatement, error) &&
         Prepare(reader, "PRAGMA data_version", &dataVersionStatement, error);
    if (!ok) {
        Close();
        return false;
    }
    {
        std::lock_guard lock(readMutex);
        instance = NewInstance();
    }
    std::lock_guard lock(rankedMutex);
    rankedPath = path;
    rankedShown = shown;
    ++rankedGeneration;
    return true;
}

void SqliteScoreStore::Close() {
    std::vector<std::unique_ptr<SqliteRankedReader>> idle;
    {
        std::lock_guard lock(rankedMutex);
        rankedPath.clear();
        ++rankedGeneration;
        idle.swap(idleRankedReaders);
    }
    idle.clear();
    std::scoped_lock lock(writeMutex, readMutex);
    for (sqlite3_stmt** statement : {&beginStatement, &insertStatement, &commitStatement, &topStatement,
                                     &countStatement, &dataVersionStatement}) {
        sqlite3_finalize(*statement);
        *statement = nullptr;
    }
    sqlite3_close_v2(reader);
    reader = nullptr;
    sqlite3_close_v2(writer);
    writer = nullptr;
}

bool SqliteScoreStore::AddBatch(std::span<const ScoreRow> rows, std::string& error) {
    std::lock_guard lock(writeMutex);
    if (!insertStatement) {
        error = "database is closed";
        return false;
    }
    if (rows.empty()) return true;
    if (!Step(writer, beginStatement, "begin", error)) return false;
    // With synchronous=FULL in WAL mode, a COMMIT that succeeds has synced
    // the log: one sync for the whole batch.
    if (InsertAll(rows, error) && Step(writer, commitStatement, "commit", error)) return true;
    if (!sqlite3_get_autocommit(writer)) sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
}

bool SqliteScoreStore::InsertAll(std::span<const ScoreRow> rows, std::string& error) {
    for (const ScoreRow& row : rows) {
        const Submission& s = row.submission;
        sqlite3_bind_text(insertStatement, 1, s.name.data(), static_cast<int>(s.name.size()), SQLITE_STATIC);
        sqlite3_bind_int(insertStatement, 2, s.score);
        sqlite3_bind_int(insertStatement, 3, s.level);
        sqlite3_bind_int(insertStatement, 4, s.munchets);
        sqlite3_bind_int(insertStatement, 5, s.food);
        sqlite3_bind_int64(insertStatement, 6, row.unixTime);
        sqlite3_bind_text(insertStatement, 7, row.client.data(), static_cast<int>(row.client.size()),
                          SQLITE_STATIC);
        if (!Step(writer, insertStatement, "insert", error)) return false;
    }
    return true;
}

bool SqliteScoreStore::ReadTop(std::vector<TableRow>& rows, std::string& error) {
    std::lock_guard lock(readMutex);
    rows.clear();
    if (!topStatement) {
        error = "database is closed";
        return false;
    }
    sql::ResetOnExit reset{topStatement};
    sqlite3_bind_int(topStatement, 1, tableRowLimit);
    int rc;
    while ((rc = sqlite3_step(topStatement)) == SQLITE_ROW)
        rows.push_back({sql::Text(topStatement, 0), sqlite3_column_int64(topStatement, 1)});
    if (rc != SQLITE_DONE) {
        error = Message(reader, "select");
        rows.clear();
        return false;
    }
    return true;
}

std::int64_t SqliteScoreStore::RowCount() {
    std::lock_guard lock(readMutex);
    if (!countStatement) return -1;
    sql::ResetOnExit reset{countStatement};
    if (sqlite3_step(countStatement) != SQLITE_ROW) return -1;
    return sqlite3_column_int64(countStatement, 0);
}

bool SqliteScoreStore::ReadRanked(const RankedQuery& query, RankedPage& page, std::string& error) {
    std::unique_ptr<SqliteRankedReader> ranked;
    std::string path;
    ShownRows shown;
    std::uint64_t generation;
    {
        std::lock_guard lock(rankedMutex);
        if (rankedPath.empty()) {
            page = {};
            error = "database is closed";
            return false;
        }
        generation = rankedGeneration;
        shown = rankedShown;
        if (idleRankedReaders.empty()) {
            path = rankedPath;
        } else {
            ranked = std::move(idleRankedReaders.back());
            idleRankedReaders.pop_back();
        }
    }
    if (!ranked) {
        ranked = std::make_unique<SqliteRankedReader>();
        if (!ranked->Open(path, shown, error)) {
            page = {};
            return false;
        }
    }
    // A reader that failed is dropped: the next read starts on a fresh connection.
    if (!ranked->Read(query, page, error)) return false;
    std::lock_guard lock(rankedMutex);
    if (generation == rankedGeneration) idleRankedReaders.push_back(std::move(ranked));
    return true;
}

bool SqliteScoreStore::ReadChangeStamp(std::string& stamp, std::string& error) {
    std::lock_guard lock(readMutex);
    if (!dataVersionStatement) {
        error = "database is closed";
        return false;
    }
    sql::ResetOnExit reset{dataVersionStatement};
    if (sqlite3_step(dataVersionStatement) != SQLITE_ROW) {
        error = Message(reader, "data_version");
        return false;
    }
    stamp = instance + "." + std::to_string(sqlite3_column_int64(dataVersionStatement, 0));
    return true;
}

bool SqliteScoreStore::StoreReplay(const ReplaySubmission& replay, StoredReplay& stored, std::string& error) {
    std::lock_guard lock(writeMutex);
    if (!writer) {
        error = "database is closed";
        return false;
    }
    return sql::StoreReplay(writer, replay, stored, error);
}

bool SqliteScoreStore::ReadTicketKey(TicketKey& key, std::string& error) {
    std::lock_guard lock(writeMutex);
    if (!writer) {
        error = "database is closed";
        return false;
    }
    key = ticketKey;
    return true;
}

bool SqliteScoreStore::RecordTicketStart(std::uint64_t id, std::int64_t unixMs, std::string& error) {
    std::lock_guard lock(writeMutex);
    if (!writer) {
        error = "database is closed";
        return false;
    }
    return sql::RecordTicketStart(writer, id, unixMs, error);
}

bool SqliteScoreStore::ReadTicket(std::uint64_t id, TicketRecord& record, std::string& error) {
    std::lock_guard lock(readMutex);
    if (!reader) {
        error = "database is closed";
        return false;
    }
    return sql::ReadTicket(reader, id, record, error);
}

bool SqliteScoreStore::ReadReplay(std::int64_t id, std::optional<std::string>& bytes, std::string& error) {
    std::lock_guard lock(readMutex);
    if (!reader) {
        error = "database is closed";
        return false;
    }
    return sql::ReadReplay(reader, id, bytes, error);
}

bool SqliteScoreStore::ReadBans(std::int64_t unixTime, std::vector<Ban>& bans, std::string& error) {
    std::lock_guard lock(readMutex);
    bans.clear();
    if (!reader) {
        error = "database is closed";
        return false;
    }
    std::vector<SqlRow> rows;
    if (!SqliteSession(reader).Run(moderation::activeBansSql, {std::to_string(unixTime)}, rows, error))
        return false;
    for (const SqlRow& row : rows) {
        if (!moderation::ParseBan(row, bans.emplace_back())) {
            bans.clear();
            error = "unreadable row in bans";
            return false;
        }
    }
    return true;
}
