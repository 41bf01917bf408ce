#include "server/sqlite/sqlite_replays.h"

#include <sqlite3.h>

#include "server/sql/sqlite_connection.h"
#include "server/sqlite/sqlite_tickets.h"
#include "server/store/replay_placement.h"

namespace sql {

namespace {

void BindText(sqlite3_stmt* statement, int index, const std::string& text) {
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
}

// The game's name and counters as ?1 to ?5, its client as ?6.
void BindGame(sqlite3_stmt* statement, const ReplaySubmission& replay) {
    const Submission& game = replay.row.submission;
    BindText(statement, 1, game.name);
    sqlite3_bind_int(statement, 2, game.score);
    sqlite3_bind_int(statement, 3, game.level);
    sqlite3_bind_int(statement, 4, game.munchets);
    sqlite3_bind_int(statement, 5, game.food);
    BindText(statement, 6, replay.row.client);
}

bool Rollback(sqlite3* db, std::string& error, std::string message) {
    if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    error = std::move(message);
    return false;
}

// A step that writes or finds nothing more than it says: true when done.
bool Done(Statement& statement, const char* what, std::string& error) {
    if (statement.Step() == SQLITE_DONE) return true;
    error = statement.Error(what);
    return false;
}

class SqliteReplayPlacement final : public ReplayPlacementSql {
public:
    explicit SqliteReplayPlacement(sqlite3* db) : db(db) {}

    // BEGIN IMMEDIATE takes the file's one write lock: every other writer,
    // in this process or another, waits.
    bool Begin(std::string& error) override { return Execute(db, "BEGIN IMMEDIATE", error); }
    bool Commit(std::string& error) override { return Execute(db, "COMMIT", error); }
    void Rollback() override {
        if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    }

    bool FindStored(const std::string& digest, std::optional<StoredReplay>& found,
                    std::string& error) override {
        Statement find(db,
                       "SELECT r.id, r.score_id, coalesce(s.verified, 0) FROM replays r"
                       " LEFT JOIN scores s ON s.id = r.score_id WHERE r.digest = ?1");
        if (find.get()) BindText(find.get(), 1, digest);
        const int rc = find.Step();
        if (rc == SQLITE_ROW)
            found = StoredReplay{StoredReplay::Placement::alreadyStored, sqlite3_column_int64(find.get(), 1),
                                 sqlite3_column_int64(find.get(), 0), sqlite3_column_int(find.get(), 2) != 0};
        if (rc == SQLITE_ROW || rc == SQLITE_DONE) return true;
        error = find.Error("find replay");
        return false;
    }

    bool TicketUsed(std::uint64_t id, bool& used, std::string& error) override {
        return sql::TicketUsed(db, id, used, error);
    }

    bool FindMatchingRow(const ReplaySubmission& replay, std::int64_t& id, std::string& error) override {
        Statement find(
            db,
            "SELECT id FROM scores s WHERE name = ?1 AND score = ?2 AND level = ?3 AND munchets = ?4"
            " AND food = ?5 AND client = ?6 AND time >= ?7"
            " AND NOT EXISTS (SELECT 1 FROM replays r WHERE r.score_id = s.id)"
            " ORDER BY id DESC LIMIT 1");
        if (sqlite3_stmt* s = find.get()) {
            BindGame(s, replay);
            sqlite3_bind_int64(s, 7, replay.row.unixTime - replayMatchWindowSeconds);
        }
        const int rc = find.Step();
        id = rc == SQLITE_ROW ? sqlite3_column_int64(find.get(), 0) : 0;
        if (rc == SQLITE_ROW || rc == SQLITE_DONE) return true;
        error = find.Error("find row");
        return false;
    }

    bool MarkRow(std::int64_t id, const ReplaySubmission& replay, std::string& error) override {
        Statement mark(db, "UPDATE scores SET verified = ?2, players = ?3 WHERE id = ?1");
        if (mark.get()) {
            sqlite3_bind_int64(mark.get(), 1, id);
            sqlite3_bind_int(mark.get(), 2, replay.verified ? 1 : 0);
            sqlite3_bind_int(mark.get(), 3, replay.players);
        }
        return Done(mark, "mark row", error);
    }

    bool InsertRow(const ReplaySubmission& replay, std::int64_t& id, std::string& error) override {
        Statement insert(
            db,
            "INSERT INTO scores (name, score, level, munchets, food, client, time, verified, players)"
            " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
        if (sqlite3_stmt* s = insert.get()) {
            BindGame(s, replay);
            sqlite3_bind_int64(s, 7, replay.row.unixTime);
            sqlite3_bind_int(s, 8, replay.verified ? 1 : 0);
            sqlite3_bind_int(s, 9, replay.players);
        }
        if (!Done(insert, "insert row", error)) return false;
        id = sqlite3_last_insert_rowid(db);
        return true;
    }

    bool InsertReplay(std::int64_t scoreId, const ReplaySubmission& replay, std::int64_t& id,
                      std::string& error) override {
        Statement insert(db, "INSERT INTO replays (score_id, digest, bytes) VALUES (?1, ?2, ?3)");
        if (sqlite3_stmt* s = insert.get()) {
            sqlite3_bind_int64(s, 1, scoreId);
            BindText(s, 2, replay.digest);
            sqlite3_bind_blob64(s, 3, replay.bytes.data(), replay.bytes.size(), SQLITE_STATIC);
        }
        if (!Done(insert, "insert replay", error)) return false;
        id = sqlite3_last_insert_rowid(db);
        return true;
    }

    bool UseTicket(std::uint64_t id, std::int64_t scoreId, bool& used, std::string& error) override {
        return sql::UseTicket(db, id, scoreId, used, error);
    }

private:
    sqlite3* db;
};

}  // namespace

bool MigrateToReplays(sqlite3* db, std::string& error) {
    std::vector<std::string> version;
    if (!Execute(db, "BEGIN IMMEDIATE", error) || !Query(db, "PRAGMA user_version", version, error))
        return Rollback(db, error, "cannot migrate the score file: " + error);
    if (!version.empty() && version.front() != "1") return Execute(db, "COMMIT", error);
    const bool migrated =
        Execute(db, "ALTER TABLE scores ADD COLUMN verified INTEGER NOT NULL DEFAULT 0", error) &&
        Execute(db,
                "CREATE TABLE replays ("
                " id INTEGER PRIMARY KEY,"
                " score_id INTEGER NOT NULL UNIQUE,"
                " digest TEXT NOT NULL UNIQUE,"
                " bytes BLOB NOT NULL)",
                error) &&
        Execute(db, "CREATE INDEX scores_verified ON scores (score DESC, id ASC) WHERE verified = 1",
                error) &&
        Execute(db, "PRAGMA user_version = 2", error) && Execute(db, "COMMIT", error);
    return migrated || Rollback(db, error, "cannot migrate the score file: " + error);
}

bool StoreReplay(sqlite3* db, const ReplaySubmission& replay, StoredReplay& stored, std::string& error) {
    SqliteReplayPlacement placement(db);
    return PlaceReplay(placement, replay, stored, error);
}

bool ReadReplay(sqlite3* db, std::int64_t id, std::optional<std::string>& bytes, std::string& error) {
    bytes.reset();
    Statement read(db, "SELECT r.bytes FROM replays r JOIN scores s ON s.id = r.score_id WHERE r.id = ?1");
    if (read.get()) sqlite3_bind_int64(read.get(), 1, id);
    const int rc = read.Step();
    if (rc == SQLITE_ROW) {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(read.get(), 0));
        bytes.emplace(data ? data : "", static_cast<std::size_t>(sqlite3_column_bytes(read.get(), 0)));
    }
    if (rc == SQLITE_ROW || rc == SQLITE_DONE) return true;
    error = read.Error("read replay");
    return false;
}

}  // namespace sql
