#include "server/sql/moderation_schema.h"

#include <charconv>

#include "server/sql/sqlite_connection.h"

namespace {

bool ParseInt(const std::string& text, std::int64_t& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

constexpr const char* tableNames[] = {"audit_log", "bans", "hidden_scores"};

}  // namespace

namespace moderation {

bool ParseBan(const SqlRow& columns, Ban& ban) {
    if (columns.size() < 6 || !columns[0] || !columns[1] || !columns[2] || !columns[4]) return false;
    const std::optional<BanKind> kind = ParseBanKind(*columns[1]);
    if (!kind || !ParseInt(*columns[0], ban.id) || !ParseInt(*columns[4], ban.created)) return false;
    ban.kind = *kind;
    ban.value = *columns[2];
    ban.reason = columns[3].value_or("");
    ban.expires.reset();
    if (columns[5]) {
        std::int64_t expires = 0;
        if (!ParseInt(*columns[5], expires)) return false;
        ban.expires = expires;
    }
    return true;
}

}  // namespace moderation

namespace sql {

bool AddModeration(sqlite3* db, std::string& error) {
    const bool added =
        Execute(db, "BEGIN IMMEDIATE", error) &&
        Execute(db,
                "CREATE TABLE IF NOT EXISTS hidden_scores ("
                " score_id INTEGER PRIMARY KEY,"
                " ban_id INTEGER)",
                error) &&
        Execute(db, "CREATE INDEX IF NOT EXISTS hidden_scores_ban ON hidden_scores (ban_id)", error) &&
        Execute(db, "CREATE INDEX IF NOT EXISTS scores_time ON scores (time)", error) &&
        Execute(db,
                "CREATE TABLE IF NOT EXISTS bans ("
                " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                " kind TEXT NOT NULL,"
                " value TEXT NOT NULL,"
                " reason TEXT NOT NULL,"
                " created INTEGER NOT NULL,"
                " expires INTEGER,"
                " revoked INTEGER)",
                error) &&
        Execute(db,
                "CREATE TABLE IF NOT EXISTS audit_log ("
                " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                " time INTEGER NOT NULL,"
                " action TEXT NOT NULL,"
                " target TEXT NOT NULL,"
                " reason TEXT NOT NULL)",
                error) &&
        Execute(db, "COMMIT", error);
    if (added) return true;
    std::string ignored;
    Execute(db, "ROLLBACK", ignored);
    error = "cannot add the moderation tables: " + error;
    return false;
}

bool IsModerationTable(const std::string& name) {
    for (const char* table : tableNames) {
        if (name == table) return true;
    }
    return false;
}

}  // namespace sql

namespace pg {

bool AddModeration(PgConnection& db, std::string& error) {
    // Present on every start but the first: then no DDL, so that processes
    // starting together hold the schema lock only for a moment.
    std::string present;
    if (!db.Value("SELECT count(*) FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid"
                  " JOIN pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = current_schema()"
                  " AND t.tgname IN ('hidden_scores_changed', 'bans_changed')",
                  {}, present, error)) {
        return false;
    }
    if (present == "2") return true;
    return db.Run(
        "CREATE TABLE IF NOT EXISTS hidden_scores ("
        " score_id BIGINT PRIMARY KEY,"
        " ban_id BIGINT);"
        "CREATE INDEX IF NOT EXISTS hidden_scores_ban ON hidden_scores (ban_id);"
        "CREATE INDEX IF NOT EXISTS scores_time ON scores (time);"
        "CREATE TABLE IF NOT EXISTS bans ("
        " id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
        " kind TEXT NOT NULL,"
        " value TEXT NOT NULL,"
        " reason TEXT NOT NULL,"
        " created BIGINT NOT NULL,"
        " expires BIGINT,"
        " revoked BIGINT);"
        "CREATE TABLE IF NOT EXISTS audit_log ("
        " id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
        " time BIGINT NOT NULL,"
        " action TEXT NOT NULL,"
        " target TEXT NOT NULL,"
        " reason TEXT NOT NULL);"
        "CREATE OR REPLACE TRIGGER hidden_scores_changed AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE"
        " ON hidden_scores FOR EACH STATEMENT EXECUTE FUNCTION munchet_count_change();"
        "CREATE OR REPLACE TRIGGER bans_changed AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE"
        " ON bans FOR EACH STATEMENT EXECUTE FUNCTION munchet_count_change()",
        error);
}

}  // namespace pg
