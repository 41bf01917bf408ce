// The database `munchet-scores admin` works on: either store, opened the way
// a server opens it (checked, its layout brought up to date), then held
// through one plain connection for the command's statements.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "server/sql/pg_connection.h"
#include "server/sql/sql_session.h"

struct sqlite3;

class AdminDatabase {
public:
    AdminDatabase() = default;
    AdminDatabase(const AdminDatabase&) = delete;
    AdminDatabase& operator=(const AdminDatabase&) = delete;
    ~AdminDatabase();

    // location: an SQLite file, which must exist already (an admin command
    // never makes a new database), or a PostgreSQL URI. timeout: for
    // PostgreSQL's connection and each statement; SQLite's waits for a lock.
    bool Open(const std::string& location, std::chrono::seconds timeout, std::string& error);

    SqlSession& Session() { return *session; }
    bool Postgres() const { return session && session->Postgres(); }

    // SQLite only: a consistent copy of the whole database, as of one moment,
    // into a new file at path (VACUUM INTO), while servers keep writing.
    // False with a message when path exists, or on PostgreSQL.
    bool Backup(const std::string& path, std::string& error);

private:
    sqlite3* sqlite = nullptr;
    std::unique_ptr<PgConnection> postgres;
    std::unique_ptr<SqlSession> session;
};
