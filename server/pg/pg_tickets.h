// Game tickets in the PostgreSQL score database, and the key they are issued
// with, which every process of a fleet reads from the database.
//
// Layout (schema version 3) adds to scores the column
//   players BIGINT NOT NULL DEFAULT 1   (1 or 2, from the game's replay)
// the table
//   tickets(id BIGINT PRIMARY KEY, started_at BIGINT, score_id BIGINT UNIQUE)
// holding a row for every ticket whose game began (started_at: ms since 1970
// when start.php first heard of it) or proved a row (score_id), which
// outlives its score's row; and the munchet_meta row ('ticket_key', 64 hex
// digits), made at random by the first process to open the database.
#pragma once

#include <cstdint>
#include <string>

#include "server/sql/pg_connection.h"
#include "server/store/score_store.h"

namespace pg {

// Takes a database of schema version 2 to 3, inside the caller's
// transaction under the schema lock.
bool MigrateToTickets(PgConnection& db, std::string& error);

// The key, made now when the database holds none: processes opening it
// together all read the one that was inserted first.
bool ReadOrMakeTicketKey(PgConnection& db, TicketKey& key, std::string& error);

bool RecordTicketStart(PgConnection& db, std::uint64_t id, std::int64_t unixMs, std::string& error);
bool ReadTicket(PgConnection& db, std::uint64_t id, TicketRecord& record, std::string& error);

// Inside StoreReplay's transaction: whether another row used ticket id, and
// marking it used by row scoreId (used: another row had used it already, and
// nothing changed).
bool TicketUsed(PgConnection& db, std::uint64_t id, bool& used, std::string& error);
bool UseTicket(PgConnection& db, std::uint64_t id, const std::string& scoreId, bool& used,
               std::string& error);

}  // namespace pg
