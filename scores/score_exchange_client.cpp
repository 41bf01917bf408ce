#include "scores/score_exchange_client.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

#include "common/log_sink.h"
#include "common/user_folders.h"
#include "scores/outbox_file.h"
#include "scores/outbox_replays.h"
#include "scores/score_client.h"
#include "scores/score_host.h"
#include "scores/score_request.h"
#include "scores/table_parser.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds LongestConnect{1000};
// Below this a request could not even finish its handshake.
constexpr milliseconds ShortestTableRequest{10};

// What a submission's request says about its fate (see the header's table).
// Unwanted only for replays: a server that knows no replays.
enum class Verdict { Stored, Refused, Kept, Uncertain, Unwanted };

Verdict Judge(const RequestOutcome& outcome, bool replay) {
    if (!outcome.sent) return Verdict::Kept;
    const long status = outcome.status;
    if (replay && status == 404) return Verdict::Unwanted;
    if (status >= 200 && status <= 299) return Verdict::Stored;
    if (status == 408 || status == 429 || (status >= 500 && status <= 599 && status != 504))
        return Verdict::Kept;
    if (status >= 400 && status <= 499) return Verdict::Refused;
    return Verdict::Uncertain;
}

std::string Seconds(milliseconds time) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", static_cast<double>(time.count()) / 1000.0);
    return text;
}

std::string EntryName(const OutboxEntry& entry) {
    return "entry " + std::to_string(entry.id) + " (" + DescribeSubmission(entry.submission) + ")";
}

std::string ReplayName(const std::string& file, const ScoreSubmission& submission) {
    return "replay " + file + " (" + DescribeSubmission(submission) + ")";
}

}  // namespace

// The state of one exchange, from its first request to its last.
struct ScoreExchangeClient::Round {
    ScoreExchangeClient& client;
    const std::atomic<bool>* stop;  // the exchange is given up once it reads true; may be null
    const Clock::time_point start = Clock::now();
    const milliseconds third = client.settings_.budget / 3;
    const milliseconds connectLimit = std::min(LongestConnect, third);

    std::unique_ptr<OutboxFile> file;        // set while the outbox is usable (and locked)
    std::unique_ptr<OutboxReplays> replays;  // the outbox's replays; set with file
    std::vector<OutboxEntry> entries;
    std::vector<std::uint64_t> left;  // ids of entries that left the outbox in this exchange
    bool changed = false;
    bool unreachable = false;      // a request could not connect: nothing else will
    bool lockBusy = false;         // another copy of the game held the outbox
    bool replaysUnwanted = false;  // the server knows no replays (404)
    std::string stopReason;        // why no further submission is sent; empty while they are

    Round(ScoreExchangeClient& owner, const std::atomic<bool>* stopFlag) : client(owner), stop(stopFlag) {}

    bool stopped() const { return stop && stop->load(); }

    milliseconds remaining() const {
        return client.settings_.budget - std::chrono::duration_cast<milliseconds>(Clock::now() - start);
    }

    // Takes the outbox, waiting for the other copy of the game until
    // deadline. Leaves file null when the outbox cannot be used.
    void OpenOutbox(Clock::time_point deadline) {
        const std::optional<std::string> folder = client.outboxFolder();
        if (!folder) return;
        auto candidate = std::make_unique<OutboxFile>(*folder);
        std::string error;
        if (!candidate->Lock(deadline, error)) {
            client.log("score outbox: not used for now: " + error);
            lockBusy = true;
            return;
        }
        lockBusy = false;
        OutboxLoad load = candidate->Load();
        if (!load.usable) {
            client.log("score outbox: not used in this exchange: " + load.error +
                       (load.damage.empty() ? "" : " (damaged: " + load.damage + ")"));
            return;
        }
        if (!load.damage.empty()) {
            client.log("score outbox: set aside damaged " + candidate->path() + " as " + load.setAsideAs +
                       " (" + load.damage + "); its " + std::to_string(load.entries.size()) +
                       " sound entries are kept");
            changed = true;
        }
        file = std::move(candidate);
        replays = std::make_unique<OutboxReplays>(*folder);
        for (const OutboxEntry& entry : load.entries) {
            if (client.gone_.contains(entry.id))
                changed = true;
            else
                entries.push_back(entry);
        }
        while (entries.size() > MaxOutboxEntries) DropOldest();
    }

    void DropOldest() {
        client.log("score outbox: dropped " + EntryName(entries.front()) + ": more than " +
                   std::to_string(MaxOutboxEntries) + " waiting");
        Remove(0, false);
    }

    // The entry leaves the outbox. Its replay stays only to be sent on its
    // own: the score reached the server, or may have.
    void Remove(std::size_t index, bool keepReplay) {
        const std::string replay = OutboxReplayOf(entries[index]);
        if (!keepReplay && replays && !replay.empty()) replays->Remove(replay);
        left.push_back(entries[index].id);
        entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(index));
        changed = true;
    }

    // The time a submission may take now; zero when none may start.
    milliseconds SubmissionAllowance() {
        if (stopped()) stopReason = "the exchange was given up: the game is quitting";
        if (unreachable || !stopReason.empty()) return milliseconds{0};
        const milliseconds allowed = remaining() - third;
        if (allowed < third) {
            stopReason = "too little of the time budget left";
            return milliseconds{0};
        }
        return allowed;
    }

    // Sends the submission's score, or, given one, its replay.
    Verdict Send(const ScoreSubmission& submission, milliseconds allowed, const std::string& label,
                 std::optional<std::string_view> replay = std::nullopt) {
        const std::string& host = client.settings_.host;
        const std::string url = replay ? ReplayUrl(host, submission) : SubmissionUrl(host, submission);
        const RequestOutcome outcome =
            PerformRequest(url, {allowed, std::min(connectLimit, allowed), stop}, nullptr, replay);
        const Verdict verdict = Judge(outcome, replay.has_value());
        if (!outcome.succeeded() && verdict != Verdict::Unwanted)
            client.log("score client: " + label + " failed after " + Seconds(outcome.took) + ": " +
                       outcome.failure());
        if (!outcome.sent) unreachable = true;
        if (verdict == Verdict::Kept || verdict == Verdict::Uncertain)
            stopReason = "an earlier submission was not taken";
        if (verdict == Verdict::Unwanted) {
            client.log("score client: the server takes no replays (HTTP status 404); none is sent to it");
            replaysUnwanted = true;
        }
        return verdict;
    }

    void Flush() {
        std::size_t index = 0;
        while (index < entries.size()) {
            const milliseconds allowed = SubmissionAllowance();
            if (allowed.count() == 0) return;
            const OutboxEntry& entry = entries[index];
            switch (Send(entry.submission, allowed, "submission of outbox " + EntryName(entry))) {
                case Verdict::Stored:
                    client.log("score outbox: sent " + EntryName(entry));
                    Remove(index, true);
                    break;
                case Verdict::Refused:
                case Verdict::Unwanted:
                    client.log("score outbox: dropped " + EntryName(entry) + ": refused by the server");
                    Remove(index, false);
                    break;
                case Verdict::Uncertain:
                    client.log("score outbox: removed " + EntryName(entry) +
                               ": it may have been stored, so it is not sent again");
                    Remove(index, true);
                    break;
                case Verdict::Kept:
                    ++index;
                    break;
            }
        }
    }

    // The replays whose score is no longer waiting, oldest first.
    void FlushReplays() {
        if (!replays) return;
        std::vector<std::string> alone;
        for (const std::string& name : replays->List()) {
            const bool named = std::any_of(entries.begin(), entries.end(), [&name](const OutboxEntry& e) {
                return OutboxReplayOf(e) == name;
            });
            if (!named) alone.push_back(name);
        }
        for (const std::string& name : alone) {
            if (replaysUnwanted || SubmissionAllowance().count() == 0) return;
            std::string error;
            const std::optional<OutboxReplay> waiting = replays->Load(name, error);
            if (!waiting) {
                client.log("score outbox: dropped replay " + name + ": " + error);
                replays->Remove(name);
                continue;
            }
            const std::string label = ReplayName(name, waiting->submission);
            const Verdict verdict =
                Send(waiting->submission, SubmissionAllowance(), "outbox " + label, waiting->replay);
            if (verdict == Verdict::Kept) return;
            client.log("score outbox: " + ReplayOutcome(verdict) + " " + label);
            replays->Remove(name);
        }
    }

    static std::string ReplayOutcome(Verdict verdict) {
        switch (verdict) {
            case Verdict::Stored:
                return "sent";
            case Verdict::Uncertain:
                return "removed (it may have arrived, so it is not sent again)";
            case Verdict::Unwanted:
                return "removed (the server takes no replays)";
            default:
                return "dropped (refused by the server)";
        }
    }

    // This game's replay, once its score reached the server or may have.
    void SendThisReplay(const ScoreSubmission& submission, std::string_view replay) {
        if (replay.empty() || replaysUnwanted) return;
        const std::string label = "replay of this game (" + DescribeSubmission(submission) + ")";
        const milliseconds allowed = SubmissionAllowance();
        if (allowed.count() == 0) {
            client.log("score client: " + label +
                       " not sent: " + (unreachable ? "the server could not be reached" : stopReason));
        } else {
            const Verdict verdict = Send(submission, allowed, label, replay);
            if (verdict == Verdict::Refused) client.log("score client: " + label + " refused by the server");
            if (verdict == Verdict::Uncertain)
                client.log("score client: " + label + " may have arrived, so it is not sent again");
            if (verdict != Verdict::Kept) return;
        }
        if (!OpenOutboxToKeep()) {
            client.log("score client: " + label + " is lost: there is no outbox to keep it in");
            return;
        }
        std::string error;
        const std::string name = replays->Save({submission, std::string(replay)},
                                               static_cast<std::int64_t>(std::time(nullptr)), error);
        if (name.empty()) {
            client.log("score client: " + label + " is lost: " + error);
            return;
        }
        client.log("score outbox: kept " + ReplayName(name, submission));
        DropOldestReplaysAlone();
    }

    // Replays waiting on their own are bounded like the entries.
    void DropOldestReplaysAlone() {
        std::vector<std::string> alone;
        for (const std::string& name : replays->List())
            if (std::none_of(entries.begin(), entries.end(),
                             [&name](const OutboxEntry& e) { return OutboxReplayOf(e) == name; }))
                alone.push_back(name);
        for (std::size_t i = 0; i + MaxOutboxEntries < alone.size(); ++i) {
            client.log("score outbox: dropped replay " + alone[i] + ": more than " +
                       std::to_string(MaxOutboxEntries) + " waiting");
            replays->Remove(alone[i]);
        }
    }

    SubmissionFate SendThisGame(const ScoreSubmission& submission, std::string_view replay) {
        const std::string label = "submission of this game (" + DescribeSubmission(submission) + ")";
        const milliseconds allowed = SubmissionAllowance();
        Verdict verdict = Verdict::Kept;
        if (allowed.count() == 0)
            client.log("score client: " + label +
                       " not sent: " + (unreachable ? "the server could not be reached" : stopReason));
        else
            verdict = Send(submission, allowed, label);
        switch (verdict) {
            case Verdict::Stored:
                SendThisReplay(submission, replay);
                return SubmissionFate::Stored;
            case Verdict::Refused:
            case Verdict::Unwanted:
                return SubmissionFate::Refused;
            case Verdict::Uncertain:
                client.log("score client: " + label + " may have been stored, so it is not sent again");
                // The server makes no second row for a replay whose score it has.
                SendThisReplay(submission, replay);
                return SubmissionFate::Uncertain;
            case Verdict::Kept:
                break;
        }
        return Keep(submission, replay, label);
    }

    // True when the outbox may be written to.
    bool OpenOutboxToKeep() {
        // The other copy of the game is done with the outbox by the time its
        // own submissions are: waiting for it then still leaves the table its
        // third of the budget.
        // A program that quits waits for nobody: it keeps what it can now.
        if (!file && lockBusy) OpenOutbox(stopped() ? Clock::now() : start + client.settings_.budget - third);
        return file != nullptr;
    }

    SubmissionFate Keep(const ScoreSubmission& submission, std::string_view replay,
                        const std::string& label) {
        if (!OpenOutboxToKeep()) {
            client.log("score client: " + label + " is lost: there is no outbox to keep it in");
            return SubmissionFate::Lost;
        }
        if (!IsKeepableSubmission(submission)) {
            client.log("score client: " + label + " is lost: it is not a submission the game can make");
            return SubmissionFate::Lost;
        }
        if (entries.size() >= MaxOutboxEntries) DropOldest();
        std::uint64_t id = client.gone_.empty() ? 0 : *client.gone_.rbegin();
        for (const OutboxEntry& entry : entries) id = std::max(id, entry.id);
        OutboxEntry entry;
        entry.id = id + 1;
        entry.keptAt = static_cast<std::int64_t>(std::time(nullptr));
        entry.submission = submission;
        if (!replay.empty()) {
            std::string error;
            const std::string file = replays->Save({submission, std::string(replay)}, entry.keptAt, error);
            if (file.empty()) {
                client.log("score client: the replay of " + label + " is lost: " + error);
            } else {
                entry.version = OutboxReplayEntryVersion;
                entry.laterFields = file;
            }
        }
        entries.push_back(entry);
        changed = true;
        if (!Save()) {
            client.log("score client: " + label + " is lost: the outbox cannot be written");
            return SubmissionFate::Lost;
        }
        client.log("score outbox: kept " + EntryName(entry) + "; " + std::to_string(entries.size()) +
                   " waiting");
        return SubmissionFate::Kept;
    }

    // Writes the outbox when it changed; false when that failed.
    bool Save() {
        if (!file || !changed) return true;
        std::string error;
        if (file->Save(entries, error)) {
            client.gone_.clear();
            changed = false;
            left.clear();
            return true;
        }
        client.log("score outbox: cannot be written: " + error);
        client.gone_.insert(left.begin(), left.end());
        left.clear();
        file.reset();  // nothing more can be kept in this exchange
        return false;
    }

    void FetchTable(ScoreExchangeResult& result) {
        if (stopped()) return;
        if (unreachable) {
            client.log("score client: table request not sent: the server could not be reached");
            return;
        }
        const milliseconds allowed = remaining();
        if (allowed < ShortestTableRequest) {
            client.log("score client: table request not sent: the time budget is spent");
            return;
        }
        responseText.clear();
        const RequestOutcome outcome =
            PerformRequest(TableUrl(client.settings_.host), {allowed, std::min(connectLimit, allowed), stop},
                           ReceiveResponse);
        if (!outcome.succeeded()) {
            client.log("score client: table request failed after " + Seconds(outcome.took) + ": " +
                       outcome.failure());
            return;
        }
        result.tableReceived = true;
        result.rows = ParseHighscoreTable(responseText);
    }
};

ScoreExchangeClient::ScoreExchangeClient(ScoreClientSettings settings) : settings_(std::move(settings)) {
    settings_.budget = std::clamp(settings_.budget, MinExchangeBudget, MaxExchangeBudget);
}

ScoreExchangeResult ScoreExchangeClient::Exchange(const ScoreSubmission* submission, std::string_view replay,
                                                  const std::atomic<bool>* stop) {
    ScoreExchangeResult result;
    Round round(*this, stop);
    if (!IsValidScoreServerHost(settings_.host)) {
        log("score client: \"" + settings_.host + "\" is not a score server host; nothing is sent");
        round.unreachable = true;
    }
    // A short wait only: this game's own submission goes first when another
    // copy of the game holds the outbox.
    round.OpenOutbox(round.start + round.third / 4);
    round.Flush();
    round.FlushReplays();
    if (submission && !submission->name.empty()) result.fate = round.SendThisGame(*submission, replay);
    round.Save();
    round.file.reset();  // the other copy of the game may go on while the table arrives
    round.FetchTable(result);
    return result;
}

void ScoreExchangeClient::log(const std::string& line) const { LogTo(settings_.log, line); }

std::optional<std::string> ScoreExchangeClient::outboxFolder() {
    std::string error;
    const std::optional<std::string> folder = settings_.outboxFolder.empty()
                                                  ? UserFolder(UserFolderKind::Data, error)
                                                  : MadeFolder(settings_.outboxFolder, error);
    if (!folder && !noFolderLogged_) {
        log("score outbox: none (" + error + "); a score the server does not get is lost");
        noFolderLogged_ = true;
    }
    return folder;
}
