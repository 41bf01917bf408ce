// The SQLite calls the score store's connections share: opening one the way
// the store uses it, running fixed SQL, keeping prepared statements, and
// turning failures into messages.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace sql {

// Opens path read-write (created when absent) with extended result codes and
// a busy time-out of busyTimeoutMs: how long a statement waits for a lock
// another connection holds before it fails. The connection must be used by
// one thread at a time: SQLite's own per-connection mutex is left out.
// False with a message; *db may then still need sqlite3_close_v2.
bool Open(const std::string& path, int busyTimeoutMs, sqlite3** db, std::string& error);

// "what: SQLite's message for db's last error".
std::string Message(sqlite3* db, std::string_view what);

// Runs fixed SQL text (never built from input) and collects the first column
// of every row it yields.
bool Query(sqlite3* db, const char* sql, std::vector<std::string>& values, std::string& error);
bool Execute(sqlite3* db, const char* sql, std::string& error);

// Prepares a statement kept for the connection's life (finalized by the owner).
bool Prepare(sqlite3* db, const char* sql, sqlite3_stmt** statement, std::string& error);

// Runs a prepared statement that yields no rows, and resets it.
bool Step(sqlite3* db, sqlite3_stmt* statement, std::string_view what, std::string& error);

// Text of a column, embedded NUL bytes included; "" for NULL.
std::string Text(sqlite3_stmt* statement, int column);

// An integer column that must fit a 32-bit field; a larger value written by
// hand is held at the nearest bound rather than wrapped around.
std::int32_t Int32(sqlite3_stmt* statement, int column);

// A statement prepared for one call, for work rare next to table reads
// (replays, ticket starts), where keeping it prepared would buy nothing.
class Statement {
public:
    Statement(sqlite3* db, const char* text);
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    sqlite3_stmt* get() const { return statement; }
    // SQLITE_ROW, SQLITE_DONE, or an error code (also when preparing failed).
    int Step();
    std::string Error(std::string_view what) const { return Message(db, what); }

private:
    sqlite3* db;
    sqlite3_stmt* statement = nullptr;
};

// Resets a statement when leaving a scope, so no transaction stays open
// between calls (an open read would hold back WAL checkpoints).
struct ResetOnExit {
    sqlite3_stmt* statement;
    ~ResetOnExit();
};

}  // namespace sql
