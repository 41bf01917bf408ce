#include "server/pg/pg_replays.h"

#include <libpq-fe.h>

#include <charconv>
#include <utility>
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

// The id one row's statement returned.
bool ReturnedId(const std::string& text, std::int64_t& value, std::string& error) {
    if (ParseId(text.c_str(), value)) return true;
    error = "unreadable id";
    return false;
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

ReplayPlacement::ReplayPlacement(PgConnection& db, Transaction begin, Transaction commit)
    : db(db), begin(std::move(begin)), commit(std::move(commit)) {}

bool ReplayPlacement::Begin(std::string& error) {
    std::string locked;
    return begin(error) &&
           db.Value(std::string("SELECT pg_advisory_xact_lock(") + replayLockKey + ")", {}, locked, error);
}

bool ReplayPlacement::Commit(std::string& error) { return commit(error); }

void ReplayPlacement::Rollback() {
    std::string ignored;
    if (db.Connected()) db.Run("ROLLBACK", ignored);
}

bool ReplayPlacement::FindStored(const std::string& digest, std::optional<StoredReplay>& found,
                                 std::string& error) {
    // Each statement sees what committed before it began, so after the lock
    // every replay stored before is in sight.
    std::vector<std::string> row;
    const char* params[] = {digest.c_str()};
    if (!FirstRow(db,
                  "SELECT r.id, r.score_id, coalesce(s.verified, false) FROM replays r"
                  " LEFT JOIN scores s ON s.id = r.score_id WHERE r.digest = $1",
                  params, row, error)) {
        return false;
    }
    if (row.empty()) return true;
    StoredReplay& stored = found.emplace();
    stored.placement = StoredReplay::Placement::alreadyStored;
    stored.verified = row[2] == "t";
    if (ParseId(row[0].c_str(), stored.replayId) && ParseId(row[1].c_str(), stored.scoreId)) return true;
    error = "unreadable replay row";
    return false;
}

bool ReplayPlacement::TicketUsed(std::uint64_t id, bool& used, std::string& error) {
    return pg::TicketUsed(db, id, used, error);
}

bool ReplayPlacement::FindMatchingRow(const ReplaySubmission& replay, std::int64_t& scoreId,
                                      std::string& error) {
    const Submission& game = replay.row.submission;
    const std::string score = std::to_string(game.score), level = std::to_string(game.level),
                      munchets = std::to_string(game.munchets), food = std::to_string(game.food),
                      since = std::to_string(replay.row.unixTime - replayMatchWindowSeconds);
    const char* match[] = {game.name.c_str(), score.c_str(), level.c_str(),
                           munchets.c_str(),  food.c_str(),  replay.row.client.c_str(),
                           since.c_str()};
    std::vector<std::string> row;
    if (!FirstRow(db,
                  "SELECT id FROM scores s WHERE name = $1 AND score = $2 AND level = $3 AND munchets = $4"
                  " AND food = $5 AND client = $6 AND time >= $7"
                  " AND NOT EXISTS (SELECT 1 FROM replays r WHERE r.score_id = s.id)"
                  " ORDER BY id DESC LIMIT 1",
                  match, row, error)) {
        return false;
    }
    scoreId = 0;
    return row.empty() || ReturnedId(row[0], scoreId, error);
}

bool ReplayPlacement::MarkRow(std::int64_t scoreId, const ReplaySubmission& replay, std::string& error) {
    const std::string id = std::to_string(scoreId), players = std::to_string(replay.players);
    const char* mark[] = {id.c_str(), replay.verified ? "true" : "false", players.c_str()};
    std::vector<PgResult> results;
    return db.Run("UPDATE scores SET verified = $2, players = $3 WHERE id = $1", mark, results, error);
}

bool ReplayPlacement::InsertRow(const ReplaySubmission& replay, std::int64_t& scoreId, std::string& error) {
    const Submission& game = replay.row.submission;
    const std::string score = std::to_string(game.score), level = std::to_string(game.level),
                      munchets = std::to_string(game.munchets), food = std::to_string(game.food),
                      time = std::to_string(replay.row.unixTime), players = std::to_string(replay.players);
    const char* insert[] = {game.name.c_str(),
                            score.c_str(),
                            level.c_str(),
                            munchets.c_str(),
                            food.c_str(),
                            time.c_str(),
                            replay.row.client.c_str(),
                            replay.verified ? "true" : "false",
                            players.c_str()};
    std::string id;
    return db.Value(
               "INSERT INTO scores (name, score, level, munchets, food, time, client, verified, players)"
               " VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9) RETURNING id",
               insert, id, error) &&
           ReturnedId(id, scoreId, error);
}

bool ReplayPlacement::InsertReplay(std::int64_t scoreId, const ReplaySubmission& replay,
                                   std::int64_t& replayId, std::string& error) {
    const std::string score = std::to_string(scoreId), bytes = ToByteaHex(replay.bytes);
    const char* attach[] = {score.c_str(), replay.digest.c_str(), bytes.c_str()};
    std::string id;
    return db.Value("INSERT INTO replays (score_id, digest, bytes) VALUES ($1, $2, $3) RETURNING id", attach,
                    id, error) &&
           ReturnedId(id, replayId, error);
}

bool ReplayPlacement::UseTicket(std::uint64_t id, std::int64_t scoreId, bool& used, std::string& error) {
    return pg::UseTicket(db, id, std::to_string(scoreId), used, error);
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
