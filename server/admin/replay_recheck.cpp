#include "server/admin/replay_recheck.h"

#include <charconv>

#include "replay/replay_verifier.h"
#include "server/admin/moderation_actions.h"
#include "server/pg/pg_replays.h"
#include "server/store/replay_upload.h"

namespace {

bool ParseInt(const SqlValue& text, std::int64_t& value) {
    if (!text) return false;
    const auto [end, problem] = std::from_chars(text->data(), text->data() + text->size(), value);
    return problem == std::errc() && end == text->data() + text->size();
}

// The stored game of a row, as its add.php would have sent it.
bool ToScoreRow(const SqlRow& columns, ScoreRow& row) {
    std::int64_t counters[4] = {};
    for (int i = 0; i < 4; ++i) {
        if (!ParseInt(columns[2 + i], counters[i]) || counters[i] < INT32_MIN || counters[i] > INT32_MAX)
            return false;
    }
    row.submission = {columns[1].value_or(""), static_cast<std::int32_t>(counters[0]),
                      static_cast<std::int32_t>(counters[1]), static_cast<std::int32_t>(counters[2]),
                      static_cast<std::int32_t>(counters[3])};
    return true;
}

// Why the replay no longer proves the row; empty when it does.
std::string Recheck(const std::string& bytes, const ScoreRow& row) {
    ReplayUploadResult read = ReadReplayUpload(bytes, row, MaxReplayFrames);
    if (!read.upload) return read.error;
    const ReplayCheck check = VerifyReplay(read.upload->replay);
    if (check.proven()) return {};
    return check.reason.empty() ? "not proven" : check.reason;
}

}  // namespace

bool RecheckStoredReplays(SqlSession& db, bool hide, std::int64_t now, RecheckReport& report,
                          std::string& error) {
    std::vector<SqlRow> ids;
    if (!db.Run(
            "SELECT r.id FROM replays r JOIN scores s ON s.id = r.score_id WHERE s.verified ORDER BY r.id",
            {}, ids, error))
        return false;
    const std::string bytesColumn = db.Postgres() ? "encode(r.bytes, 'hex')" : "hex(r.bytes)";
    for (const SqlRow& id : ids) {
        std::vector<SqlRow> rows;
        if (!db.Run("SELECT s.id, s.name, s.score, s.level, s.munchets, s.food, " + bytesColumn +
                        " FROM replays r JOIN scores s ON s.id = r.score_id WHERE r.id = $1",
                    {id.front()}, rows, error))
            return false;
        if (rows.empty()) continue;  // deleted meanwhile
        const SqlRow& columns = rows.front();
        RecheckedRow checked;
        ScoreRow row;
        const std::optional<std::string> bytes = pg::FromHex(columns[6].value_or(""));
        if (!ParseInt(columns[0], checked.scoreId) || !ToScoreRow(columns, row) || !bytes) {
            error = "unreadable replay " + id.front().value_or("?");
            return false;
        }
        ++report.played;
        checked.reason = Recheck(*bytes, row);
        if (checked.reason.empty()) continue;
        checked.name = row.submission.name;
        checked.score = row.submission.score;
        if (hide) {
            std::string done;
            if (!moderation::Hide(db, checked.scoreId, "reverify: " + checked.reason, now, done, error))
                return false;
            checked.hidden = true;
        }
        report.failed.push_back(std::move(checked));
    }
    return true;
}
