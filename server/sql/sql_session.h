// One way to run a statement on either store, for the few places that say the
// same thing to SQLite and PostgreSQL (the admin command, the bans): SQL with
// parameters $1, $2 ... that both read alike, values in and out as text.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "server/sql/pg_connection.h"

struct sqlite3;

using SqlValue = std::optional<std::string>;  // nullopt: NULL
using SqlRow = std::vector<SqlValue>;

class SqlSession {
public:
    virtual ~SqlSession() = default;

    // Runs one statement with params bound to $1, $2 ... and collects its
    // rows, each column as text. False with a message.
    virtual bool Run(const std::string& sql, const std::vector<SqlValue>& params, std::vector<SqlRow>& rows,
                     std::string& error) = 0;
    bool Run(const std::string& sql, const std::vector<SqlValue>& params, std::string& error) {
        std::vector<SqlRow> ignored;
        return Run(sql, params, ignored, error);
    }

    // Starts a transaction that writes: on SQLite it takes the write lock at
    // once, so it never fails half-way for a lock another writer holds.
    virtual bool BeginWrite(std::string& error) = 0;
    bool Commit(std::string& error) { return Run("COMMIT", {}, error); }
    // Ends a failed transaction; keeps error as it was.
    void Rollback();

    virtual bool Postgres() const = 0;
};

// Borrows a connection the caller owns and serialises.
class SqliteSession final : public SqlSession {
public:
    explicit SqliteSession(sqlite3* db) : db(db) {}
    // A parameter that is an integer in its plain form is bound as one, so it
    // compares and limits as a number; any other text stays text ("007" too).
    bool Run(const std::string& sql, const std::vector<SqlValue>& params, std::vector<SqlRow>& rows,
             std::string& error) override;
    bool BeginWrite(std::string& error) override { return SqlSession::Run("BEGIN IMMEDIATE", {}, error); }
    bool Postgres() const override { return false; }

private:
    sqlite3* db;
};

class PgSession final : public SqlSession {
public:
    explicit PgSession(PgConnection& db) : db(db) {}
    bool Run(const std::string& sql, const std::vector<SqlValue>& params, std::vector<SqlRow>& rows,
             std::string& error) override;
    bool BeginWrite(std::string& error) override { return SqlSession::Run("BEGIN", {}, error); }
    bool Postgres() const override { return true; }

private:
    PgConnection& db;
};
