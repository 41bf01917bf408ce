// The one-off move of a score table from an SQLite file (the layout of
// SqliteScoreStore) into PostgreSQL: `munchet-scores --import-sqlite PATH
// --db postgresql://...`.
#pragma once

#include <cstdint>
#include <string>

#include "server/pg/pg_score_store.h"

// Copies every row of the SQLite file at path into target's empty table, in
// id order and with their ids, so equal scores keep their order. The file is
// only read, in one snapshot, and must be a score database of ours; a row
// that PostgreSQL could not hold as it is (a number past 32 bits, a NUL in a
// text) stops the import, naming the row. All or nothing: on failure target
// is left as it was. copied: rows copied.
bool ImportSqliteScores(const std::string& path, PgScoreStore& target, std::int64_t& copied,
                        std::string& error);
