#include "server/http/replay_route.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <string_view>
#include <system_error>
#include <utility>

#include "server/http/server_metrics.h"
#include "server/store/replay_admission.h"

namespace {

// The answer to a replay the verifier would not take.
ScoreReply RefusedReplayReply(ReplayChecker::Admission admission, bool stopping) {
    using Admission = ReplayChecker::Admission;
    if (stopping || admission == Admission::closed) return {503, "server is shutting down\n", true};
    if (admission == Admission::clientFull)
        return {429, "too many of your replays are waiting, try again later\n", false};
    if (admission == Admission::overBudget)
        return {429, "your replays have used up their verifying time, try again later\n", false};
    return {503, "replay verifier busy, try again later\n", false};
}

}  // namespace

MHD_Result ReplayRoute::Begin(Connection& connection, MHD_Connection* handle) {
    ConnectionAnswers& answers = parts.answers;
    const char* length = MHD_lookup_connection_value(handle, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
    if (!length) return answers.Text(connection, {411, "send the replay with a Content-Length\n", true});
    const std::string_view digits(length);
    std::size_t bytes = 0;
    const auto [end, problem] = std::from_chars(digits.data(), digits.data() + digits.size(), bytes);
    if (problem == std::errc::result_out_of_range || (problem == std::errc() && bytes > limits.maxBytes))
        return answers.Text(
            connection,
            {413, "replay too large: at most " + std::to_string(limits.maxBytes) + " bytes\n", true});
    if (problem != std::errc() || end != digits.data() + digits.size() || bytes == 0)
        return answers.Text(connection, {400, "no replay in the body\n", true});
    // A client the verifier would turn away is told so without its body
    // being kept or parsed: a flood of replays costs the server reads only.
    if (const ReplayChecker::Admission admission = checker.WouldTake(connection.client);
        admission != ReplayChecker::Admission::queued) {
        connection.decision.reply = RefusedReplayReply(admission, answers.Stopping());
        connection.stage = Stage::droppingBody;
        parts.connections.ExpectBody(connection.entry, bytes);
        return MHD_YES;
    }
    if (!bodies.Take(bytes))
        return answers.Text(connection, {503, "too many replays arriving, try again later\n", true});
    connection.bodyLength = bytes;
    connection.body.reserve(bytes);
    parts.connections.ExpectBody(connection.entry, bytes);
    return MHD_YES;
}

void ReplayRoute::Append(Connection& connection, const char* data, std::size_t size) {
    // The library frames the body by its Content-Length, which Begin held
    // to the bound: this never grows past it.
    const std::size_t room = connection.bodyLength - connection.body.size();
    connection.body.append(data, std::min(size, room));
}

void ReplayRoute::ReleaseBody(Connection& connection) {
    bodies.Release(std::exchange(connection.bodyLength, 0));
    std::string().swap(connection.body);
}

// Read the body and hold its ticket to the key. A game that may be proven
// has its ticket's record read on a page thread, then waits for the
// verifier; one that may not goes to the store unplayed. Either way the
// connection is parked until it is stored.
MHD_Result ReplayRoute::Check(Connection& connection) {
    ReplayUploadResult read =
        ReadReplayUpload(std::exchange(connection.body, {}), connection.decision.row, limits.maxFrames);
    if (!read.upload) return parts.answers.Text(connection, {400, read.error + "\n", false});
    const std::int64_t arrivedMs = UnixMs();
    const ReplayAdmission admission =
        mint ? AdmitTicket(read.upload->replay, *mint, arrivedMs)
             : ReplayAdmission{ReplayAdmission::Kind::attach, 200, "this server deals no tickets"};
    if (admission.kind == ReplayAdmission::Kind::refuse)
        return parts.answers.Text(connection, {admission.status, admission.reason + "\n", false});
    parts.connections.Storing(connection.entry);
    connection.stage = Stage::waitingForReplay;
    MHD_Connection* handle = connection.handle;
    const auto suspend = [handle] { MHD_suspend_connection(handle); };
    bool queued;
    if (admission.kind == ReplayAdmission::Kind::attach) {
        queued = StoreUnplayed(connection, std::move(*read.upload), admission.reason, suspend);
    } else {
        auto upload = std::make_shared<ReplayUpload>(std::move(*read.upload));
        queued = parts.pages.Post([this, &connection, upload,
                                   arrivedMs] { AdmitTicketed(connection, std::move(*upload), arrivedMs); },
                                  suspend);
    }
    if (queued) return MHD_YES;
    connection.stage = Stage::decided;
    return parts.answers.Text(connection, parts.answers.Busy());
}

// On a page thread, the connection suspended: what the store knows of the
// ticket decides whether the game is played again.
void ReplayRoute::AdmitTicketed(Connection& connection, ReplayUpload upload, std::int64_t arrivedMs) {
    const std::uint64_t ticketId = upload.replay.summary.ticket.id;
    TicketRecord record;
    std::string error;
    if (!parts.store.ReadTicket(ticketId, record, error)) {
        parts.log("cannot read ticket " + std::to_string(ticketId) + ": " + error);
        return ResumeWithReply(connection, StoredReply(false));
    }
    upload.submission.ticketId = ticketId;
    const ReplayAdmission admission = AdmitTicketedGame(upload.replay, record, arrivedMs);
    if (admission.kind == ReplayAdmission::Kind::refuse)
        return ResumeWithReply(connection, {admission.status, admission.reason + "\n", false});
    if (admission.kind == ReplayAdmission::Kind::attach) {
        if (!StoreUnplayed(connection, std::move(upload), admission.reason, {}))
            ResumeWithReply(connection, parts.answers.Busy());
        return;
    }
    ServerMetrics* metrics = parts.metrics;
    const ReplayChecker::Admission queued = checker.Submit(
        connection.client, std::move(upload),
        [this, &connection](ReplayUpload checked, const ReplayCheck& check, std::chrono::nanoseconds cpu) {
            Checked(connection, std::move(checked), check, cpu);
        },
        [metrics] {
            if (metrics) metrics->ReplayQueued();  // before the verifier can take it off
        });
    if (queued != ReplayChecker::Admission::queued)
        ResumeWithReply(connection, RefusedReplayReply(queued, parts.answers.Stopping()));
}

bool ReplayRoute::StoreUnplayed(Connection& connection, ReplayUpload upload, const std::string& reason,
                                const std::function<void()>& accepted) {
    parts.log("replay kept unverified (" + connection.decision.row.submission.name + ", " +
              connection.client + "): " + reason);
    upload.submission.verified = false;
    return StoreChecked(connection, std::move(upload.submission), accepted);
}

bool ReplayRoute::StoreChecked(Connection& connection, ReplaySubmission submission,
                               const std::function<void()>& accepted) {
    return parts.queue.SubmitReplay(
        std::move(submission),
        [&connection](bool stored, const StoredReplay& replay) {
            ResumeWithReply(connection, StoredReplayReply(stored, replay));
        },
        accepted);
}

// On a verifier thread, the connection suspended.
void ReplayRoute::Checked(Connection& connection, ReplayUpload upload, const ReplayCheck& check,
                          std::chrono::nanoseconds cpu) {
    if (parts.metrics) parts.metrics->ReplayChecked(check.verdict, cpu);
    if (check.verdict != ReplayVerdict::Proven && check.verdict != ReplayVerdict::Unproven) {
        parts.log("replay refused (" + connection.decision.row.submission.name + ", " + connection.client +
                  "): " + check.reason);
        return ResumeWithReply(connection, UnstoredReplayReply(check, parts.answers.Stopping()));
    }
    upload.submission.verified = check.proven();
    if (!StoreChecked(connection, std::move(upload.submission), {}))
        ResumeWithReply(connection, {503, "server is shutting down\n", true});
}
