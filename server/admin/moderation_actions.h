// What `munchet-scores admin` changes, said once for both stores over a
// SqlSession: each action is one transaction that also writes its line of
// the audit log, so the log holds exactly the actions that took effect.
// Running servers see the change at their next table refresh (a second).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "server/sql/sql_session.h"
#include "server/store/bans.h"

// One stored game as the operator sees it.
struct AdminRow {
    std::int64_t id = 0;
    std::int64_t unixTime = 0;
    std::string name;
    std::int64_t score = 0;
    std::int64_t level = 0;
    std::string client;
    bool verified = false;
    bool hidden = false;
    std::optional<std::int64_t> hiddenByBan;  // the ban that hid it; nullopt: by hand or not hidden
    std::optional<std::int64_t> replayId;
};

struct RowFilter {
    std::optional<std::string> name;     // exact
    std::optional<std::string> address;  // exact, or a prefix "network/bits"
    std::optional<std::int64_t> since;   // time >= since
    std::optional<std::int64_t> until;   // time < until
    std::optional<bool> verified;
    std::optional<bool> hidden;
    bool byScore = false;  // best first; else newest first
    int limit = 50;
};

struct AuditEntry {
    std::int64_t unixTime = 0;
    std::string action;
    std::string target;
    std::string reason;
};

namespace moderation {

bool ListRows(SqlSession& db, const RowFilter& filter, std::vector<AdminRow>& rows, std::string& error);

// Each is false with a message when nothing changed: no such row or ban, or
// the store failed. now: the audit log's time, seconds since 1970 UTC.
// done says what was done, for the operator.
bool Hide(SqlSession& db, std::int64_t id, const std::string& reason, std::int64_t now, std::string& done,
          std::string& error);
bool Unhide(SqlSession& db, std::int64_t id, const std::string& reason, std::int64_t now, std::string& done,
            std::string& error);
// The row, its replay and its hidden mark go together.
bool Delete(SqlSession& db, std::int64_t id, const std::string& reason, std::int64_t now, std::string& done,
            std::string& error);
// ban.value canonical (CanonicalBanValue); hides the rows it matches.
// Sets ban.id and ban.created.
bool AddBan(SqlSession& db, Ban& ban, std::int64_t now, std::string& done, std::string& error);
// Hides the rows of ban `id` stored since it was set: servers refuse its
// submissions only from their next read of the bans, a second later.
bool HideLateRows(SqlSession& db, std::int64_t id, std::string& error);
// Lifts the ban and shows again the rows it alone hid.
bool RevokeBan(SqlSession& db, std::int64_t id, const std::string& reason, std::int64_t now,
               std::string& done, std::string& error);

// Every ban ever set, oldest first, revoked ones included.
bool ListBans(SqlSession& db, std::vector<Ban>& bans, std::string& error);
// The last `limit` entries, oldest first.
bool ReadAudit(SqlSession& db, int limit, std::vector<AuditEntry>& entries, std::string& error);
// Writes one audit line outside the actions above (reverify, say).
bool Audit(SqlSession& db, std::int64_t now, const std::string& action, const std::string& target,
           const std::string& reason, std::string& error);

}  // namespace moderation
