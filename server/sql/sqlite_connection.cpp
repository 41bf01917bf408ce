#include "server/sql/sqlite_connection.h"

#include <sqlite3.h>

#include <algorithm>
#include <limits>

namespace sql {

bool Open(const std::string& path, int busyTimeoutMs, sqlite3** db, std::string& error) {
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), db, flags, nullptr) != SQLITE_OK) {
        error = Message(*db, "cannot open " + path);
        return false;
    }
    sqlite3_extended_result_codes(*db, 1);
    sqlite3_busy_timeout(*db, busyTimeoutMs);
    return true;
}

std::string Message(sqlite3* db, std::string_view what) {
    std::string text(what);
    text += ": ";
    text += db ? sqlite3_errmsg(db) : "out of memory";
    return text;
}

bool Query(sqlite3* db, const char* sql, std::vector<std::string>& values, std::string& error) {
    values.clear();
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
        error = Message(db, sql);
        return false;
    }
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) values.push_back(Text(statement, 0));
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE) {
        error = Message(db, sql);
        return false;
    }
    return true;
}

bool Execute(sqlite3* db, const char* sql, std::string& error) {
    std::vector<std::string> ignored;
    return Query(db, sql, ignored, error);
}

bool Prepare(sqlite3* db, const char* sql, sqlite3_stmt** statement, std::string& error) {
    if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, statement, nullptr) != SQLITE_OK) {
        error = Message(db, "prepare");
        return false;
    }
    return true;
}

bool Step(sqlite3* db, sqlite3_stmt* statement, std::string_view what, std::string& error) {
    ResetOnExit reset{statement};
    if (sqlite3_step(statement) == SQLITE_DONE) return true;
    error = Message(db, what);
    return false;
}

std::string Text(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    if (!text) return {};
    return std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
}

std::int32_t Int32(sqlite3_stmt* statement, int column) {
    using Limits = std::numeric_limits<std::int32_t>;
    return static_cast<std::int32_t>(
        std::clamp<sqlite3_int64>(sqlite3_column_int64(statement, column), Limits::min(), Limits::max()));
}

ResetOnExit::~ResetOnExit() {
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
}

Statement::Statement(sqlite3* db, const char* text) : db(db) {
    if (sqlite3_prepare_v2(db, text, -1, &statement, nullptr) != SQLITE_OK) statement = nullptr;
}

Statement::~Statement() { sqlite3_finalize(statement); }

int Statement::Step() { return statement ? sqlite3_step(statement) : SQLITE_ERROR; }

}  // namespace sql
