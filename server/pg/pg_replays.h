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

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "server/sql/pg_connection.h"
#include "server/store/replay_placement.h"
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

// ScoreStore::StoreReplay's statements on db (replay_placement.h). The
// transaction is begun and committed as the store does its others; after
// begin, every process placing a replay takes one advisory lock for the rest
// of the transaction.
class ReplayPlacement final : public ReplayPlacementSql {
public:
    using Transaction = std::function<bool(std::string& error)>;
    ReplayPlacement(PgConnection& db, Transaction begin, Transaction commit);

    bool Begin(std::string& error) override;
    bool Commit(std::string& error) override;
    void Rollback() override;
    bool FindStored(const std::string& digest, std::optional<StoredReplay>& found,
                    std::string& error) override;
    bool TicketUsed(std::uint64_t id, bool& used, std::string& error) override;
    bool FindMatchingRow(const ReplaySubmission& replay, std::int64_t& scoreId, std::string& error) override;
    bool MarkRow(std::int64_t scoreId, const ReplaySubmission& replay, std::string& error) override;
    bool InsertRow(const ReplaySubmission& replay, std::int64_t& scoreId, std::string& error) override;
    bool InsertReplay(std::int64_t scoreId, const ReplaySubmission& replay, std::int64_t& replayId,
                      std::string& error) override;
    bool UseTicket(std::uint64_t id, std::int64_t scoreId, bool& used, std::string& error) override;

private:
    PgConnection& db;
    Transaction begin;
    Transaction commit;
};

// The query that reads replay $1's bytes as hex, of a replay whose row still
// exists, and its one column turned back into bytes; nullopt if not hex.
inline constexpr const char* readReplaySql =
    "SELECT encode(r.bytes, 'hex') FROM replays r JOIN scores s ON s.id = r.score_id WHERE r.id = $1";
std::optional<std::string> FromHex(std::string_view hex);

}  // namespace pg
