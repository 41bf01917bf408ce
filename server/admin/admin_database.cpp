#include "server/admin/admin_database.h"

#include <sqlite3.h>

#include <filesystem>

#include "server/pg/pg_score_store.h"
#include "server/sql/sqlite_connection.h"
#include "server/sqlite/sqlite_score_store.h"

AdminDatabase::~AdminDatabase() {
    session.reset();
    postgres.reset();
    sqlite3_close_v2(sqlite);
}

bool AdminDatabase::Open(const std::string& location, std::chrono::seconds timeout, std::string& error) {
    if (IsPostgresUri(location)) {
        PgSettings settings;
        settings.uri = location;
        settings.timeout = timeout;
        PgScoreStore store;
        if (!store.Open(settings, error)) return false;
        store.Close();
        const std::string limit = "SET statement_timeout = " + std::to_string(1000 * timeout.count());
        postgres = std::make_unique<PgConnection>(
            settings, [limit](PgConnection& db, std::string& message) { return db.Run(limit, message); },
            std::make_shared<PgBackoff>());
        if (!postgres->Connect(error)) return false;
        session = std::make_unique<PgSession>(*postgres);
        return true;
    }
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(location, ignored)) {
        error = "no score database at " + location;
        return false;
    }
    SqliteScoreStore store;
    if (!store.Open(location, error)) return false;
    store.Close();
    if (!sql::Open(location, static_cast<int>(1000 * timeout.count()), &sqlite, error)) return false;
    session = std::make_unique<SqliteSession>(sqlite);
    return true;
}

bool AdminDatabase::Backup(const std::string& path, std::string& error) {
    if (Postgres()) {
        error = "a PostgreSQL database is backed up with pg_dump (see the README)";
        return false;
    }
    std::error_code ignored;
    if (std::filesystem::exists(path, ignored)) {
        error = path + " exists already; give a new file";
        return false;
    }
    // One read transaction: the copy is the database as of its start, and
    // writers go on meanwhile (WAL).
    if (session->Run("VACUUM INTO $1", {path}, error)) return true;
    error = "backup failed: " + error;
    return false;
}
