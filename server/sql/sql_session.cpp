#include "server/sql/sql_session.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <charconv>

#include "server/sql/sqlite_connection.h"

void SqlSession::Rollback() {
    std::string ignored;
    Run("ROLLBACK", {}, ignored);
}

bool SqliteSession::Run(const std::string& sql, const std::vector<SqlValue>& params,
                        std::vector<SqlRow>& rows, std::string& error) {
    rows.clear();
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr) != SQLITE_OK) {
        error = sql::Message(db, "prepare");
        return false;
    }
    for (std::size_t i = 0; i < params.size(); ++i) {
        const int index = sqlite3_bind_parameter_index(statement, ("$" + std::to_string(i + 1)).c_str());
        if (index == 0 || !params[i]) continue;  // unused, or NULL as unbound
        const std::string& text = *params[i];
        sqlite3_int64 number = 0;
        const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (problem == std::errc() && end == text.data() + text.size() && std::to_string(number) == text) {
            sqlite3_bind_int64(statement, index, number);
        } else {
            sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        }
    }
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        SqlRow& row = rows.emplace_back();
        for (int c = 0; c < sqlite3_column_count(statement); ++c) {
            if (sqlite3_column_type(statement, c) == SQLITE_NULL) {
                row.emplace_back();
            } else {
                row.emplace_back(sql::Text(statement, c));
            }
        }
    }
    sqlite3_finalize(statement);
    if (rc == SQLITE_DONE) return true;
    error = sql::Message(db, "statement");
    rows.clear();
    return false;
}

bool PgSession::Run(const std::string& sql, const std::vector<SqlValue>& params, std::vector<SqlRow>& rows,
                    std::string& error) {
    rows.clear();
    std::vector<const char*> values;
    for (const SqlValue& param : params) values.push_back(param ? param->c_str() : nullptr);
    std::vector<PgResult> results;
    if (!db.Run(sql, values, results, error)) return false;
    if (results.empty()) return true;
    const pg_result* result = results.back().get();
    for (int r = 0; r < PQntuples(result); ++r) {
        SqlRow& row = rows.emplace_back();
        for (int c = 0; c < PQnfields(result); ++c) {
            if (PQgetisnull(result, r, c)) {
                row.emplace_back();
            } else {
                row.emplace_back(std::string(PQgetvalue(result, r, c),
                                             static_cast<std::size_t>(PQgetlength(result, r, c))));
            }
        }
    }
    return true;
}
