// Replays in the SQLite score file: the layout they add, and the statements
// that store and read them on a connection the caller owns and serialises.
//
// Layout (user_version 2) adds to scores the column
//   verified INTEGER NOT NULL DEFAULT 0   (1: a replay proved the row's counters)
// and the table
//   replays(id INTEGER PRIMARY KEY, score_id INTEGER NOT NULL UNIQUE,
//           digest TEXT NOT NULL UNIQUE, bytes BLOB NOT NULL)
// where score_id is the row of scores the replay belongs to, digest the
// game's GameDigest (replay_upload.h; files stored before it hold the
// SHA-256 of their bytes), and bytes the replay file as received. The
// partial index scores_verified on (score DESC, id ASC) WHERE verified = 1
// serves a table that shows verified rows alone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "server/store/score_store.h"

struct sqlite3;

namespace sql {

// Brings a user_version 1 file to 2 in one transaction; a file at 2 or later
// is left alone, so processes opening it together migrate it once.
bool MigrateToReplays(sqlite3* db, std::string& error);

// ScoreStore::StoreReplay's transaction on db, begun and committed here.
bool StoreReplay(sqlite3* db, const ReplaySubmission& replay, StoredReplay& stored, std::string& error);

// The bytes of replay id, of a replay whose row still exists.
bool ReadReplay(sqlite3* db, std::int64_t id, std::optional<std::string>& bytes, std::string& error);

}  // namespace sql
