// Row ids that are never given twice, and replays that go with their rows,
// in the SQLite score file.
//
// Layout (user_version 4) rebuilds scores with
//   id INTEGER PRIMARY KEY AUTOINCREMENT
// so an id freed by a deleted row is never given to a new one (SQLite keeps
// the highest id ever given in sqlite_sequence), and replays with
//   id INTEGER PRIMARY KEY AUTOINCREMENT,
//   score_id ... REFERENCES scores (id) ON DELETE CASCADE
// and the trigger scores_take_replays, which deletes a deleted row's replay
// on every connection: a shell's connection has foreign keys off unless it
// asks for them, and an administrator deleting a cheat must not leave its
// replay behind.
#pragma once

#include <string>

struct sqlite3;

namespace sql {

// Brings a user_version 3 file to 4 in one transaction, keeping every row
// and id; a replay whose row is gone already goes too, and so does one
// whose name or counters are not its row's (a deleted row's replay, whose
// id a new row was given), leaving that row unverified. A file at 4 is
// left alone.
bool MigrateToLastingIds(sqlite3* db, std::string& error);

}  // namespace sql
