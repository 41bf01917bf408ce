#include "server/pg/pg_tickets.h"

#include <libpq-fe.h>

#include <charconv>

namespace pg {

namespace {

std::string IdText(std::uint64_t id) { return std::to_string(static_cast<std::int64_t>(id)); }

}  // namespace

bool MigrateToTickets(PgConnection& db, std::string& error) {
    return db.Run(
        "ALTER TABLE scores ADD COLUMN players BIGINT NOT NULL DEFAULT 1;"
        "CREATE TABLE tickets (id BIGINT PRIMARY KEY, started_at BIGINT, score_id BIGINT UNIQUE);"
        "UPDATE munchet_meta SET value = '3' WHERE key = 'schema_version'",
        error);
}

bool ReadOrMakeTicketKey(PgConnection& db, TicketKey& key, std::string& error) {
    TicketKey fresh{};
    if (!FillRandom(fresh)) {
        error = "the kernel gave no random bytes for the ticket key";
        return false;
    }
    const std::string hex = KeyToHex(fresh);
    const char* params[] = {hex.c_str()};
    std::string stored;
    std::vector<PgResult> results;
    if (!db.Run("INSERT INTO munchet_meta VALUES ('ticket_key', $1) ON CONFLICT (key) DO NOTHING", params,
                results, error) ||
        !db.Value("SELECT value FROM munchet_meta WHERE key = 'ticket_key'", {}, stored, error)) {
        error = "cannot read the ticket key: " + error;
        return false;
    }
    if (KeyFromHex(stored, key)) return true;
    error = "munchet_meta holds no ticket key (64 hex digits) under 'ticket_key'";
    return false;
}

bool RecordTicketStart(PgConnection& db, std::uint64_t id, std::int64_t unixMs, std::string& error) {
    const std::string idText = IdText(id), ms = std::to_string(unixMs);
    const char* params[] = {idText.c_str(), ms.c_str()};
    std::vector<PgResult> results;
    return db.Run("INSERT INTO tickets (id, started_at) VALUES ($1, $2) ON CONFLICT (id) DO NOTHING", params,
                  results, error);
}

bool ReadTicket(PgConnection& db, std::uint64_t id, TicketRecord& record, std::string& error) {
    record = {};
    const std::string idText = IdText(id);
    const char* params[] = {idText.c_str()};
    std::vector<PgResult> results;
    if (!db.Run("SELECT started_at, score_id IS NOT NULL FROM tickets WHERE id = $1", params, results, error))
        return false;
    const pg_result* result = results.front().get();
    if (PQntuples(result) == 0) return true;
    record.used = std::string_view(PQgetvalue(result, 0, 1)) == "t";
    if (PQgetisnull(result, 0, 0)) return true;
    const std::string_view text = PQgetvalue(result, 0, 0);
    std::int64_t ms = 0;
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), ms);
    if (problem != std::errc() || end != text.data() + text.size()) {
        error = "unreadable ticket start";
        return false;
    }
    record.startedAtMs = ms;
    return true;
}

bool TicketUsed(PgConnection& db, std::uint64_t id, bool& used, std::string& error) {
    TicketRecord record;
    if (!ReadTicket(db, id, record, error)) return false;
    used = record.used;
    return true;
}

bool UseTicket(PgConnection& db, std::uint64_t id, const std::string& scoreId, bool& used,
               std::string& error) {
    const std::string idText = IdText(id);
    const char* params[] = {idText.c_str(), scoreId.c_str()};
    std::vector<PgResult> results;
    if (!db.Run("INSERT INTO tickets (id, score_id) VALUES ($1, $2)"
                " ON CONFLICT (id) DO UPDATE SET score_id = excluded.score_id WHERE tickets.score_id IS NULL",
                params, results, error)) {
        return false;
    }
    used = std::string_view(PQcmdTuples(results.back().get())) == "0";
    return true;
}

}  // namespace pg
