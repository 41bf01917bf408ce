// What `munchet-scores admin` keeps beside the scores, in tables of its own
// so that the scores table's layout stays as it is:
//   hidden_scores(score_id PRIMARY KEY, ban_id)
//       rows left out of view.php, the web page and the JSON; ban_id is the
//       ban that hid the row, NULL when the operator hid it by hand.
//   bans(id PRIMARY KEY, kind TEXT, value TEXT, reason TEXT, created BIGINT,
//        expires BIGINT NULL, revoked BIGINT NULL)
//       kind and value as bans.h writes them, times in seconds since 1970 UTC.
//   audit_log(id PRIMARY KEY, time BIGINT, action TEXT, target TEXT, reason TEXT)
//       every admin action that changed something, in order.
// and the index scores_time on scores (time), for the weekly and daily boards.
// Ids are never reused (SQLite AUTOINCREMENT, PostgreSQL identity). Each
// store's Open adds the tables to a database made before them; they change no
// existing row, so the layout's version number stays. On PostgreSQL a change
// to hidden_scores or bans moves the change count as a change to scores does,
// so running servers notice it the same way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "server/sql/pg_connection.h"
#include "server/sql/sql_session.h"
#include "server/store/bans.h"

struct sqlite3;

namespace moderation {

// A condition on a row of scores in a query over that table: it is not
// hidden. Both stores look the few hidden ids up in a set built once per
// statement (a correlated NOT EXISTS costs SQLite ten times as much on a deep
// page). hidden_scores has no column called id, so id is the row's own.
inline constexpr const char* shownCondition = "id NOT IN (SELECT score_id FROM hidden_scores)";

// The bans still in force at $1 (seconds since 1970): id, kind, value,
// reason, created, expires (NULL: never). Valid on both stores.
inline constexpr const char* activeBansSql =
    "SELECT id, kind, value, reason, created, expires FROM bans"
    " WHERE revoked IS NULL AND (expires IS NULL OR expires > $1) ORDER BY id";

// A row of activeBansSql as text (NULL as nullopt); false when malformed.
bool ParseBan(const SqlRow& columns, Ban& ban);

}  // namespace moderation

namespace sql {
// Adds the tables when absent, in one transaction. Idempotent.
bool AddModeration(sqlite3* db, std::string& error);
// The tables besides scores and replays that a file of ours may hold.
bool IsModerationTable(const std::string& name);
}  // namespace sql

namespace pg {
// Adds the tables and their change triggers when absent; inside the caller's
// transaction, under the schema lock, after the change count exists.
bool AddModeration(PgConnection& db, std::string& error);
}  // namespace pg
