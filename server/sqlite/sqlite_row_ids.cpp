#include "server/sqlite/sqlite_row_ids.h"

#include <sqlite3.h>

#include <vector>

#include "replay/replay_file.h"
#include "server/sql/sqlite_connection.h"

namespace sql {

namespace {

// While ids could be given twice, a deleted row's replay stayed, and the
// next row given its id showed that game as its own. A replay whose name or
// counters are not its row's is such a one: it goes, and its row is
// unverified. Lists them first, as rows cannot change under a running read.
bool StrayReplays(sqlite3* db, std::vector<std::pair<std::int64_t, std::int64_t>>& strays,
                  std::string& error) {
    Statement find(db,
                   "SELECT r.id, r.score_id, r.bytes, s.name, s.score, s.level, s.munchets, s.food"
                   " FROM replays_lasting r JOIN scores s ON s.id = r.score_id");
    int rc;
    while ((rc = find.Step()) == SQLITE_ROW) {
        sqlite3_stmt* row = find.get();
        const auto* data = static_cast<const char*>(sqlite3_column_blob(row, 2));
        const ReplaySummaryReading reading =
            ReadReplaySummary({data ? data : "", static_cast<std::size_t>(sqlite3_column_bytes(row, 2))});
        const ReplayCounters counters{Int32(row, 4), Int32(row, 5), Int32(row, 6), Int32(row, 7)};
        if (!reading.ok || reading.summary.name != Text(row, 3) || !(reading.summary.counters == counters))
            strays.emplace_back(sqlite3_column_int64(row, 0), sqlite3_column_int64(row, 1));
    }
    if (rc == SQLITE_DONE) return true;
    error = find.Error("find stray replays");
    return false;
}

bool DropStrayReplays(sqlite3* db, std::string& error) {
    std::vector<std::pair<std::int64_t, std::int64_t>> strays;  // replay id, its row's id
    if (!StrayReplays(db, strays, error)) return false;
    for (const auto& [replay, score] : strays) {
        const std::string drop = "DELETE FROM replays_lasting WHERE id = " + std::to_string(replay);
        const std::string unmark = "UPDATE scores SET verified = 0 WHERE id = " + std::to_string(score);
        if (!Execute(db, drop.c_str(), error) || !Execute(db, unmark.c_str(), error)) return false;
    }
    return true;
}

}  // namespace

bool MigrateToLastingIds(sqlite3* db, std::string& error) {
    std::vector<std::string> version;
    const auto fail = [&] {
        if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        error = "cannot migrate the score file: " + error;
        return false;
    };
    if (!Execute(db, "BEGIN IMMEDIATE", error) || !Query(db, "PRAGMA user_version", version, error))
        return fail();
    if (!version.empty() && version.front() != "3") return Execute(db, "COMMIT", error);
    // Foreign keys are off on this connection until the rebuild is done
    // (PRAGMA foreign_keys cannot change inside a transaction, and Open
    // turns them on after), so dropping the old tables cascades nowhere.
    const bool migrated =
        Execute(db,
                "CREATE TABLE scores_lasting ("
                " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                " name TEXT NOT NULL,"
                " score INTEGER NOT NULL,"
                " level INTEGER NOT NULL,"
                " munchets INTEGER NOT NULL,"
                " food INTEGER NOT NULL,"
                " time INTEGER NOT NULL,"
                " client TEXT NOT NULL,"
                " verified INTEGER NOT NULL DEFAULT 0,"
                " players INTEGER NOT NULL DEFAULT 1)",
                error) &&
        Execute(db,
                "INSERT INTO scores_lasting (id, name, score, level, munchets, food, time, client, verified,"
                " players) SELECT id, name, score, level, munchets, food, time, client, verified, players"
                " FROM scores",
                error) &&
        Execute(db, "DROP TABLE scores", error) &&
        Execute(db, "ALTER TABLE scores_lasting RENAME TO scores", error) &&
        Execute(db, "CREATE INDEX scores_rank ON scores (score DESC, id ASC)", error) &&
        Execute(db, "CREATE INDEX scores_name ON scores (name, score DESC, id ASC)", error) &&
        Execute(db, "CREATE INDEX scores_verified ON scores (score DESC, id ASC) WHERE verified = 1",
                error) &&
        Execute(db,
                "CREATE TABLE replays_lasting ("
                " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                " score_id INTEGER NOT NULL UNIQUE REFERENCES scores (id) ON DELETE CASCADE,"
                " digest TEXT NOT NULL UNIQUE,"
                " bytes BLOB NOT NULL)",
                error) &&
        Execute(db,
                "INSERT INTO replays_lasting (id, score_id, digest, bytes) SELECT id, score_id, digest, bytes"
                " FROM replays WHERE score_id IN (SELECT id FROM scores)",
                error) &&
        DropStrayReplays(db, error) && Execute(db, "DROP TABLE replays", error) &&
        Execute(db, "ALTER TABLE replays_lasting RENAME TO replays", error) &&
        Execute(db,
                "CREATE TRIGGER scores_take_replays AFTER DELETE ON scores"
                " BEGIN DELETE FROM replays WHERE score_id = old.id; END",
                error) &&
        Execute(db, "PRAGMA user_version = 4", error) && Execute(db, "COMMIT", error);
    return migrated || fail();
}

}  // namespace sql
