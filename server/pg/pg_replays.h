// Replays in the PostgreSQL score database: the layout they add, and the
// statements that store and read them on a connection the caller owns.
//
// Layout (schema version 2) adds to scores the column
//   verified BOOLEAN NOT NULL DEFAULT false   (a replay proved the row's counters)
// and the table
//   replays(id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
//           score_id BIGINT NOT NULL UNIQUE, digest TEXT NOT NULL UNIQUE,
//           bytes BYTEA NOT NULL)
// where score_id is the row of scores the replay belongs to, digest the
// game's GameDigest (replay_upload.h; files stored before it hold the
// SHA-256 of their bytes), and bytes the replay file as received; and the
// partial index scores_verified on scores (score DESC, id ASC) WHERE verified.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "server/sql/pg_connection.h"
#include "server/store/score_store.h"

namespace pg {

// Takes a database of schema version 1 to 2. Runs inside the caller's
// transaction, under the schema lock.
bool MigrateToReplays(PgConnection& db, std::string& error);

// Takes a database of schema version 3 to 4, where a replay goes with its
// row: the foreign key replays_score_id_fkey (score_id REFERENCES scores
// ON DELETE CASCADE). Replays whose row is gone already go now. Inside the
// caller's transaction under the schema lock. (Row ids come from sequences,
// which never give a number twice.)
bool MigrateToReplayCascade(PgConnection& db, std::string& error);

// ScoreStore::StoreReplay's statements, inside a transaction the caller has
// begun and commits. Every process storing a replay first takes one advisory
// lock for the rest of the transaction, so no two of them can both miss the
// other's replay and each add a row.
bool StoreReplay(PgConnection& db, const ReplaySubmission& replay, StoredReplay& stored, std::string& error);

// The query that reads replay $1's bytes as hex, of a replay whose row still
// exists, and its one column turned back into bytes; nullopt if not hex.
inline constexpr const char* readReplaySql =
    "SELECT encode(r.bytes, 'hex') FROM replays r JOIN scores s ON s.id = r.score_id WHERE r.id = $1";
std::optional<std::string> FromHex(std::string_view hex);

}  // namespace pg
