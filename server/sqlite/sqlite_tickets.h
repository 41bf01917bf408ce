// Game tickets in the SQLite score file, and the key they are issued with,
// kept in a file beside it.
//
// Layout (user_version 3) adds to scores the column
//   players INTEGER NOT NULL DEFAULT 1   (1 or 2, from the game's replay)
// and the table
//   tickets(id INTEGER PRIMARY KEY, started_at INTEGER, score_id INTEGER UNIQUE)
// holding a row for every ticket whose game began (started_at: ms since 1970
// when start.php first heard of it) or proved a row (score_id). A ticket's
// row outlives its score's: a ticket proves one row, ever.
//
// The key is PATH.key for the score file PATH: 64 hex digits and a line
// feed, mode 0600, made at random by the first process to open the file.
#pragma once

#include <cstdint>
#include <string>

#include "server/store/score_store.h"

struct sqlite3;

namespace sql {

// Brings a user_version 2 file to 3 in one transaction; a file at 3 is left alone.
bool MigrateToTickets(sqlite3* db, std::string& error);

bool RecordTicketStart(sqlite3* db, std::uint64_t id, std::int64_t unixMs, std::string& error);
bool ReadTicket(sqlite3* db, std::uint64_t id, TicketRecord& record, std::string& error);

// Inside StoreReplay's transaction: marks ticket id used by row scoreId.
// used is set when another row had used it already, and nothing is changed.
bool UseTicket(sqlite3* db, std::uint64_t id, std::int64_t scoreId, bool& used, std::string& error);
// Whether another row holds ticket id's game.
bool TicketUsed(sqlite3* db, std::uint64_t id, bool& used, std::string& error);

}  // namespace sql

// Reads the key file at path, or makes it when there is none. Processes
// starting together agree on one key: each writes its own candidate and the
// first to link it into place wins. False with a message when the file is
// unreadable or not a key.
bool LoadOrMakeKeyFile(const std::string& path, TicketKey& key, std::string& error);
