#include "server/store/replay_placement.h"

namespace {

// Places the replay inside the open transaction; true to commit it.
bool Place(ReplayPlacementSql& sql, const ReplaySubmission& replay, StoredReplay& stored,
           std::string& error) {
    std::optional<StoredReplay> resent;
    if (!sql.FindStored(replay.digest, resent, error)) return false;
    if (resent) {
        stored = *resent;
        return true;
    }
    bool used = false;
    if (replay.ticketId != 0 && !sql.TicketUsed(replay.ticketId, used, error)) return false;
    if (used) {
        stored = {StoredReplay::Placement::ticketUsed, 0, 0, false};
        return true;
    }
    std::int64_t scoreId = 0;
    if (!sql.FindMatchingRow(replay, scoreId, error)) return false;
    const bool matched = scoreId != 0;
    StoredReplay placed{matched ? StoredReplay::Placement::attached : StoredReplay::Placement::inserted, 0, 0,
                        replay.verified};
    if (!(matched ? sql.MarkRow(scoreId, replay, error) : sql.InsertRow(replay, scoreId, error)) ||
        !sql.InsertReplay(scoreId, replay, placed.replayId, error) ||
        (replay.ticketId != 0 && !sql.UseTicket(replay.ticketId, scoreId, used, error))) {
        return false;
    }
    // The lock keeps other writers out, so only a writer that does not take
    // it (an administrator's hand) can have used the ticket meanwhile.
    if (used) {
        error = "the game's ticket was used by another row meanwhile";
        return false;
    }
    placed.scoreId = scoreId;
    stored = placed;
    return true;
}

}  // namespace

bool PlaceReplay(ReplayPlacementSql& sql, const ReplaySubmission& replay, StoredReplay& stored,
                 std::string& error) {
    if (!sql.Begin(error)) {
        sql.Rollback();
        return false;
    }
    if (Place(sql, replay, stored, error) && sql.Commit(error)) return true;
    sql.Rollback();
    return false;
}
