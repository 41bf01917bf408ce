#include "server/pg/pg_replays.h"

#include <libpq-fe.h>

#include <charconv>
#include <vector>

#include "server/pg/pg_tickets.h"

namespace pg {

namespace {

constexpr const char* replayLockKey = "7310012931372148018";

bool ParseId(const char* text, std::int64_t& value) {
    const char* end = text + std::char_traits<char>::length(text);
    const auto [ptr, ec] = std::from_chars(text, end, value);
    return ec == std::errc() && ptr == end;
}

// bytea's input form: "\x" and two hex digits a byte.
std::string ToByteaHex(std::string_view bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex = "\\x";
    hex.reserve(2 + 2 * bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

// The first row of a query, its columns as text; empty when it found none.
bool FirstRow(PgConnection& db, const std::string& sql, std::span<const char* const> params,
              std::vector<std::string>& row, std::string& error) {
    std::vector<PgResult> results;
    row.clear();
    if (!db.Run(sql, params, results, error)) return false;
    const pg_result* result = results.front().get();
    if (PQntuples(result) == 0) return true;
    for (int c = 0; c < PQnfields(result); ++c) row.emplace_back(PQgetvalue(result, 0, c));
    return true;
}

}  // namespace

bool MigrateToReplays(PgConnection& db, std::string& error) {
    return db.Run(
        "ALTER TABLE scores ADD COLUMN verified BOOLEAN NOT NULL DEFAULT false;"
        "CREATE TABLE replays ("
        " id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
        " score_id BIGINT NOT NULL UNIQUE,"
        " digest TEXT NOT NULL UNIQUE,"
        " bytes BYTEA NOT NULL);"
        "CREATE INDEX scores_verified ON scores (score DESC, id ASC) WHERE verified;"
        "UPDATE munchet_meta SET value = '2' WHERE key = 'schema_version'",
        error);
}

bool MigrateToReplayCascade(PgConnection& db, std::string& error) {
    return db.Run(
        "DELETE FROM replays r WHERE NOT EXISTS (SELECT 1 FROM scores s WHERE s.id = r.score_id);"
        "ALTER TABLE replays ADD CONSTRAINT replays_score_id_fkey FOREIGN KEY (score_id)"
        " REFERENCES scores (id) ON DELETE CASCADE;"
        "UPDATE munchet_meta SET value = '4' WHERE key = 'schema_version'",
        error);
}

bool StoreReplay(PgConnection& db, const ReplaySubmission& replay, StoredReplay& stored, std::string& error) {
    std::string locked;
    if (!db.Value(std::string("SELECT pg_advisory_xact_lock(") + replayLockKey + ")", {}, locked, error))
        return false;
    std::vector<std::string> row;
    // Each statement sees what committed before it began, so after the lock
    // every replay stored before is in sight.
    const char* digest[] = {replay.digest.c_str()};
    if (!FirstRow(db,
                  "SELECT r.id, r.score_id, coalesce(s.verified, false) FROM replays r"
                  " LEFT JOIN scores s ON s.id = r.score_id WHERE r.digest = $1",
                  digest, row, error)) {
        return false;
    }
    if (!row.empty()) {
        stored.placement = StoredReplay::Placement::alreadyStored;
        stored.verified = row[2] == "t";
        if (ParseId(row[0].c_str(), stored.replayId) && ParseId(row[1].c_str(), stored.scoreId)) return true;
        error = "unreadable replay row";
        return false;
    }
    bool used = false;
    if (replay.ticketId != 0 && !TicketUsed(db, replay.ticketId, used, error)) return false;
    if (used) {
        stored = {StoredReplay::Placement::ticketUsed, 0, 0, false};
        return true;
    }
    const Submission& game = replay.row.submission;
    const std::string players = std::to_string(replay.players);
    const std::string score = std::to_string(game.score), level = std::to_string(game.level),
                      munchets = std::to_string(game.munchets), food = std::to_string(game.food),
                      since = std::to_string(replay.row.unixTime - replayMatchWindowSeconds),
                      time = std::to_string(replay.row.unixTime),
                      verified = replay.verified ? "true" : "false";
    const char* match[] = {game.name.c_str(), score.c_str(), level.c_str(),
                           munchets.c_str(),  food.c_str(),  replay.row.client.c_str(),
                           since.c_str()};
    if (!FirstRow(db,
                  "SELECT id FROM scores s WHERE name = $1 AND score = $2 AND level = $3 AND munchets = $4"
                  " AND food = $5 AND client = $6 AND time >= $7"
                  " AND NOT EXISTS (SELECT 1 FROM replays r WHERE r.score_id = s.id)"
                  " ORDER BY id DESC LIMIT 1",
                  match, row, error)) {
        return false;
    }
    std::string scoreId;
    if (!row.empty()) {
        stored.placement = StoredReplay::Placement::attached;
        scoreId = row[0];
        const char* mark[] = {scoreId.c_str(), verified.c_str(), players.c_str()};
        if (!FirstRow(db, "UPDATE scores SET verified = $2, players = $3 WHERE id = $1", mark, row, error))
            return false;
    } else {
        stored.placement = StoredReplay::Placement::inserted;
        const char* insert[] = {game.name.c_str(),         score.c_str(),    level.c_str(),
                                munchets.c_str(),          food.c_str(),     time.c_str(),
                                replay.row.client.c_str(), verified.c_str(), players.c_str()};
        if (!db.Value(
                "INSERT INTO scores (name, score, level, munchets, food, time, client, verified, players)"
                " VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9) RETURNING id",
                insert, scoreId, error)) {
            return false;
        }
    }
    const std::string bytes = ToByteaHex(replay.bytes);
    const char* attach[] = {scoreId.c_str(), replay.digest.c_str(), bytes.c_str()};
    std::string replayId;
    if (!db.Value("INSERT INTO replays (score_id, digest, bytes) VALUES ($1, $2, $3) RETURNING id", attach,
                  replayId, error) ||
        (replay.ticketId != 0 && !UseTicket(db, replay.ticketId, scoreId, error))) {
        return false;
    }
    stored.verified = replay.verified;
    if (ParseId(scoreId.c_str(), stored.scoreId) && ParseId(replayId.c_str(), stored.replayId)) return true;
    error = "unreadable id";
    return false;
}

std::optional<std::string> FromHex(std::string_view hex) {
    if (hex.size() % 2 != 0) return std::nullopt;
    std::string bytes(hex.size() / 2, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        unsigned value = 0;
        const auto [ptr, ec] = std::from_chars(hex.data() + 2 * i, hex.data() + 2 * i + 2, value, 16);
        if (ec != std::errc() || ptr != hex.data() + 2 * i + 2) return std::nullopt;
        bytes[i] = static_cast<char>(value);
    }
    return bytes;
}

}  // namespace pg
