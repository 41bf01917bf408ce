// `munchet-scores admin reverify`: every stored replay of a verified row is
// played again on the rules this build carries, as after a change of the
// rules, to find the rows whose replays no longer prove them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "server/sql/sql_session.h"

struct RecheckedRow {
    std::int64_t scoreId = 0;
    std::string name;
    std::int64_t score = 0;
    std::string reason;   // why the replay no longer proves the row
    bool hidden = false;  // hidden by this run
};

struct RecheckReport {
    std::size_t played = 0;
    std::vector<RecheckedRow> failed;
};

// Plays the replays one at a time (one in memory at once) without a CPU
// bound. hide: hide each failed row, the reason in the audit log. Rows
// stored meanwhile are not looked at. False with a message when the store
// failed; report holds what was done until then.
bool RecheckStoredReplays(SqlSession& db, bool hide, std::int64_t now, RecheckReport& report,
                          std::string& error);
