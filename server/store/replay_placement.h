// Where a checked replay goes, decided once for every store: a resend
// changes nothing, a game whose ticket another row used changes nothing, a
// game whose add.php stored its row is attached to that row, and any other
// game gets a row of its own. A store gives the statements, on its own
// connection; the placement owns the transaction they run in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "server/store/score_store.h"

// One store's statements for PlaceReplay, each inside the transaction Begin
// opened. Every one returns false with a message when the store failed.
class ReplayPlacementSql {
public:
    virtual ~ReplayPlacementSql() = default;

    // Opens the transaction, taking a lock every writer of the store takes
    // to place a replay, so that no two of them, in this process or another,
    // can both miss the other's replay and each add a row.
    virtual bool Begin(std::string& error) = 0;
    // Makes the transaction durable.
    virtual bool Commit(std::string& error) = 0;
    // Undoes the transaction, if one is open; cannot fail in a way that matters.
    virtual void Rollback() = 0;

    // The replay stored under digest before (a resend), with its row's flag.
    virtual bool FindStored(const std::string& digest, std::optional<StoredReplay>& found,
                            std::string& error) = 0;
    // Whether a row holds ticket id's game.
    virtual bool TicketUsed(std::uint64_t id, bool& used, std::string& error) = 0;
    // The newest row the game's add.php stored (replayMatchWindowSeconds), or 0.
    virtual bool FindMatchingRow(const ReplaySubmission& replay, std::int64_t& scoreId,
                                 std::string& error) = 0;
    // Sets row scoreId's verified flag and players from the replay.
    virtual bool MarkRow(std::int64_t scoreId, const ReplaySubmission& replay, std::string& error) = 0;
    virtual bool InsertRow(const ReplaySubmission& replay, std::int64_t& scoreId, std::string& error) = 0;
    virtual bool InsertReplay(std::int64_t scoreId, const ReplaySubmission& replay, std::int64_t& replayId,
                              std::string& error) = 0;
    // Marks ticket id used by row scoreId; used: another row held it already,
    // and nothing changed.
    virtual bool UseTicket(std::uint64_t id, std::int64_t scoreId, bool& used, std::string& error) = 0;
};

// ScoreStore::StoreReplay on sql's store, in one transaction.
bool PlaceReplay(ReplayPlacementSql& sql, const ReplaySubmission& replay, StoredReplay& stored,
                 std::string& error);
