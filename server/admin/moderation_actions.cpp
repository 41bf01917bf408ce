#include "server/admin/moderation_actions.h"

#include <charconv>

#include "server/sql/moderation_schema.h"

namespace moderation {

namespace {

bool ParseInt(const SqlValue& text, std::int64_t& value) {
    if (!text) return false;
    const char* end = text->data() + text->size();
    const auto [ptr, ec] = std::from_chars(text->data(), end, value);
    return ec == std::errc() && ptr == end && !text->empty();
}

std::optional<std::int64_t> OptionalInt(const SqlValue& text) {
    std::int64_t value = 0;
    if (!ParseInt(text, value)) return std::nullopt;
    return value;
}

// Both stores' spelling of true: SQLite's 1, PostgreSQL's t.
bool Truthy(const SqlValue& text) { return text && (*text == "1" || *text == "t"); }

// Fails the transaction under way, keeping the message.
bool Abandon(SqlSession& db, std::string& error, std::string message) {
    db.Rollback();
    error = std::move(message);
    return false;
}

bool Finish(SqlSession& db, std::string& error) { return db.Commit(error) || Abandon(db, error, error); }

constexpr const char* rowColumns =
    "SELECT s.id, s.time, s.name, s.score, s.level, s.client, CASE WHEN s.verified THEN 1 ELSE 0 END,"
    " CASE WHEN h.score_id IS NULL THEN 0 ELSE 1 END, h.ban_id, r.id FROM scores s"
    " LEFT JOIN hidden_scores h ON h.score_id = s.id LEFT JOIN replays r ON r.score_id = s.id";

bool ToAdminRow(const SqlRow& columns, AdminRow& row) {
    if (columns.size() != 10 || !ParseInt(columns[0], row.id) || !ParseInt(columns[1], row.unixTime) ||
        !ParseInt(columns[3], row.score) || !ParseInt(columns[4], row.level))
        return false;
    row.name = columns[2].value_or("");
    row.client = columns[5].value_or("");
    row.verified = Truthy(columns[6]);
    row.hidden = Truthy(columns[7]);
    row.hiddenByBan = OptionalInt(columns[8]);
    row.replayId = OptionalInt(columns[9]);
    return true;
}

// The row with this id, read inside the caller's transaction; false with a
// message when there is none.
bool FindRow(SqlSession& db, std::int64_t id, AdminRow& row, std::string& error) {
    std::vector<SqlRow> rows;
    if (!db.Run(std::string(rowColumns) + " WHERE s.id = $1", {std::to_string(id)}, rows, error))
        return false;
    if (rows.size() == 1 && ToAdminRow(rows.front(), row)) return true;
    error = "no row " + std::to_string(id);
    return false;
}

std::string Describe(const AdminRow& row) {
    return "row " + std::to_string(row.id) + " (" + row.name + ", " + std::to_string(row.score) + ", " +
           row.client + ")";
}

std::string Describe(const Ban& ban) {
    return "ban " + std::to_string(ban.id) + " of " + std::string(BanKindName(ban.kind)) + " " + ban.value;
}

bool ToBan(const SqlRow& columns, Ban& ban) {
    // id, kind, value, reason, created, expires as ParseBan reads them, then revoked.
    if (columns.size() != 7 || !ParseBan(SqlRow(columns.begin(), columns.begin() + 6), ban)) return false;
    ban.revoked = OptionalInt(columns[6]);
    return true;
}

// Hides every stored row the ban matches that is not hidden already.
bool HideRowsOf(SqlSession& db, const Ban& ban, std::string& error) {
    const std::string id = std::to_string(ban.id);
    if (ban.kind != BanKind::prefix) {
        const char* column = ban.kind == BanKind::name ? "name" : "client";
        return db.Run(std::string("INSERT INTO hidden_scores (score_id, ban_id) SELECT id, CAST($1 AS BIGINT)"
                                  " FROM scores WHERE ") +
                          column + " = $2 ON CONFLICT (score_id) DO NOTHING",
                      {id, ban.value}, error);
    }
    // Neither store can compare address blocks in SQL alike; the clients are few.
    std::vector<SqlRow> clients;
    if (!db.Run("SELECT DISTINCT client FROM scores", {}, clients, error)) return false;
    for (const SqlRow& client : clients) {
        if (!client.front() || !AddressInPrefix(*client.front(), ban.value)) continue;
        if (!db.Run("INSERT INTO hidden_scores (score_id, ban_id) SELECT id, CAST($1 AS BIGINT)"
                    " FROM scores WHERE client = $2 ON CONFLICT (score_id) DO NOTHING",
                    {id, client.front()}, error))
            return false;
    }
    return true;
}

}  // namespace

bool Audit(SqlSession& db, std::int64_t now, const std::string& action, const std::string& target,
           const std::string& reason, std::string& error) {
    return db.Run("INSERT INTO audit_log (time, action, target, reason) VALUES ($1, $2, $3, $4)",
                  {std::to_string(now), action, target, reason}, error);
}

bool ListRows(SqlSession& db, const RowFilter& filter, std::vector<AdminRow>& rows, std::string& error) {
    rows.clear();
    std::string where;
    std::vector<SqlValue> params;
    const auto add = [&](const std::string& condition, std::optional<std::string> value = std::nullopt) {
        where += where.empty() ? " WHERE " : " AND ";
        if (value) {
            params.push_back(std::move(value));
            where += condition + std::to_string(params.size());
        } else {
            where += condition;
        }
    };
    const bool byPrefix = filter.address && filter.address->find('/') != std::string::npos;
    if (filter.name) add("s.name = $", *filter.name);
    if (filter.address && !byPrefix) add("s.client = $", *filter.address);
    if (filter.since) add("s.time >= $", std::to_string(*filter.since));
    if (filter.until) add("s.time < $", std::to_string(*filter.until));
    if (filter.verified) add("s.verified = $", *filter.verified ? "1" : "0");
    if (filter.hidden) add(*filter.hidden ? "h.score_id IS NOT NULL" : "h.score_id IS NULL");
    std::string sql =
        rowColumns + where + (filter.byScore ? " ORDER BY s.score DESC, s.id ASC" : " ORDER BY s.id DESC");
    // A block of addresses is matched here, so the limit is too.
    if (!byPrefix) sql += " LIMIT " + std::to_string(filter.limit);
    std::vector<SqlRow> found;
    if (!db.Run(sql, params, found, error)) return false;
    for (const SqlRow& columns : found) {
        if (static_cast<int>(rows.size()) >= filter.limit) break;
        AdminRow row;
        if (!ToAdminRow(columns, row)) {
            error = "unreadable row in scores";
            return false;
        }
        if (byPrefix && !AddressInPrefix(row.client, *filter.address)) continue;
        rows.push_back(std::move(row));
    }
    return true;
}

bool Hide(SqlSession& db, std::int64_t id, const std::string& reason, std::int64_t now, std::string& done,
          std::string& error) {
    AdminRow row;
    if (!db.BeginWrite(error)) return false;
    // Hidden by hand, the row stays hidden when a ban that also hid it is lifted.
    if (!FindRow(db, id, row, error) ||
        !db.Run("INSERT INTO hidden_scores (score_id, ban_id) VALUES ($1, NULL)"
                " ON CONFLICT (score_id) DO UPDATE SET ban_id = NULL",
                {std::to_string(id)}, error) ||
        !Audit(db, now, "hide", Describe(row), reason, error))
        return Abandon(db, error, error);
    done = "hid " + Describe(row);
    return Finish(db, error);
}

bool Unhide(SqlSession& db, std::int64_t id, const std::string& reason, std::int64_t now, std::string& done,
            std::string& error) {
    AdminRow row;
    if (!db.BeginWrite(error)) return false;
    if (!FindRow(db, id, row, error)) return Abandon(db, error, error);
    if (!row.hidden) return Abandon(db, error, Describe(row) + " is not hidden");
    if (!db.Run("DELETE FROM hidden_scores WHERE score_id = $1", {std::to_string(id)}, error) ||
        !Audit(db, now, "unhide", Describe(row), reason, error))
        return Abandon(db, error, error);
    done = "showing " + Describe(row) + " again";
    return Finish(db, error);
}

bool Delete(SqlSession& db, std::int64_t id, const std::string& reason, std::int64_t now, std::string& done,
            std::string& error) {
    AdminRow row;
    const std::vector<SqlValue> key = {std::to_string(id)};
    if (!db.BeginWrite(error)) return false;
    // The replay goes first and by name, whether or not the store would
    // remove it with its row.
    if (!FindRow(db, id, row, error) || !db.Run("DELETE FROM replays WHERE score_id = $1", key, error) ||
        !db.Run("DELETE FROM hidden_scores WHERE score_id = $1", key, error) ||
        !db.Run("DELETE FROM scores WHERE id = $1", key, error) ||
        !Audit(db, now, "delete", Describe(row), reason, error))
        return Abandon(db, error, error);
    done = "deleted " + Describe(row) + (row.replayId ? " and its replay" : "");
    return Finish(db, error);
}

bool AddBan(SqlSession& db, Ban& ban, std::int64_t now, std::string& done, std::string& error) {
    std::vector<SqlRow> rows;
    ban.created = now;
    const SqlValue expires = ban.expires ? SqlValue(std::to_string(*ban.expires)) : SqlValue();
    if (!db.BeginWrite(error)) return false;
    if (!db.Run("INSERT INTO bans (kind, value, reason, created, expires) VALUES ($1, $2, $3, $4, $5)"
                " RETURNING id",
                {std::string(BanKindName(ban.kind)), ban.value, ban.reason, std::to_string(now), expires},
                rows, error) ||
        rows.size() != 1 || !ParseInt(rows.front().front(), ban.id) || !HideRowsOf(db, ban, error) ||
        !db.Run("SELECT count(*) FROM hidden_scores WHERE ban_id = $1", {std::to_string(ban.id)}, rows,
                error) ||
        !Audit(db, now, "ban", Describe(ban), ban.reason, error))
        return Abandon(db, error, error.empty() ? "cannot read the new ban's id" : error);
    done = "set " + Describe(ban) + "; it hid " + rows.front().front().value_or("0") + " rows";
    return Finish(db, error);
}

// Opens a write and reads ban id; false, the write given up, when it cannot.
bool BeginWithBan(SqlSession& db, std::int64_t id, Ban& ban, std::string& error) {
    std::vector<SqlRow> rows;
    if (!db.BeginWrite(error)) return false;
    if (!db.Run("SELECT id, kind, value, reason, created, expires, revoked FROM bans WHERE id = $1",
                {std::to_string(id)}, rows, error))
        return Abandon(db, error, error);
    if (rows.size() != 1 || !ToBan(rows.front(), ban))
        return Abandon(db, error, "no ban " + std::to_string(id));
    return true;
}

bool HideLateRows(SqlSession& db, std::int64_t id, std::string& error) {
    Ban ban;
    if (!BeginWithBan(db, id, ban, error)) return false;
    // Revoked meanwhile by another admin command: nothing to hide.
    if (!ban.revoked && !HideRowsOf(db, ban, error)) return Abandon(db, error, error);
    return Finish(db, error);
}

bool RevokeBan(SqlSession& db, std::int64_t id, const std::string& reason, std::int64_t now,
               std::string& done, std::string& error) {
    Ban ban;
    if (!BeginWithBan(db, id, ban, error)) return false;
    if (ban.revoked) return Abandon(db, error, Describe(ban) + " is revoked already");
    if (!db.Run("UPDATE bans SET revoked = $2 WHERE id = $1", {std::to_string(id), std::to_string(now)},
                error) ||
        !db.Run("DELETE FROM hidden_scores WHERE ban_id = $1", {std::to_string(id)}, error) ||
        !Audit(db, now, "unban", Describe(ban), reason, error))
        return Abandon(db, error, error);
    // A row that another ban still in force matches stays hidden under it.
    std::vector<Ban> others;
    if (!ListBans(db, others, error)) return Abandon(db, error, error);
    for (const Ban& other : others) {
        if (!other.revoked && (!other.expires || *other.expires > now) && !HideRowsOf(db, other, error))
            return Abandon(db, error, error);
    }
    done = "revoked " + Describe(ban);
    return Finish(db, error);
}

bool ListBans(SqlSession& db, std::vector<Ban>& bans, std::string& error) {
    bans.clear();
    std::vector<SqlRow> rows;
    if (!db.Run("SELECT id, kind, value, reason, created, expires, revoked FROM bans ORDER BY id", {}, rows,
                error))
        return false;
    for (const SqlRow& row : rows) {
        if (!ToBan(row, bans.emplace_back())) {
            error = "unreadable row in bans";
            return false;
        }
    }
    return true;
}

bool ReadAudit(SqlSession& db, int limit, std::vector<AuditEntry>& entries, std::string& error) {
    entries.clear();
    std::vector<SqlRow> rows;
    if (!db.Run("SELECT time, action, target, reason FROM"
                " (SELECT id, time, action, target, reason FROM audit_log ORDER BY id DESC LIMIT $1) AS last"
                " ORDER BY id",
                {std::to_string(limit)}, rows, error))
        return false;
    for (const SqlRow& row : rows) {
        AuditEntry& entry = entries.emplace_back();
        if (!ParseInt(row[0], entry.unixTime)) {
            error = "unreadable row in audit_log";
            return false;
        }
        entry.action = row[1].value_or("");
        entry.target = row[2].value_or("");
        entry.reason = row[3].value_or("");
    }
    return true;
}

}  // namespace moderation
