#include "server/http/commit_queue.h"

#include <utility>

#include "server/http/server_metrics.h"

CommitQueue::CommitQueue(ScoreStore& store, TableCache& cache, Log log,
                         std::chrono::milliseconds refreshPeriod, ServerMetrics* metrics)
    : store(store),
      cache(cache),
      log(std::move(log)),
      refreshPeriod(refreshPeriod),
      metrics(metrics),
      nextRefresh(std::chrono::steady_clock::now() + refreshPeriod) {
    queue.Start(1,
                {.ready = [](const Waiting& w) { return !w.rows.empty() || !w.replays.empty(); },
                 .take = [this](Waiting& waiting, WorkQueue<Waiting>::Lock& lock) { Commit(waiting, lock); },
                 .idleUntil = [this] { return nextRefresh; },
                 .idle =
                     [this] {
                         RefreshTable();
                         RefreshStamp();
                     },
                 .started = {}});
}

CommitQueue::~CommitQueue() { Close(); }

bool CommitQueue::Submit(ScoreRow row, Done done, const std::function<void()>& accepted) {
    return Enqueue(accepted, [&](Waiting& waiting) {
        waiting.rows.push_back(std::move(row));
        waiting.done.push_back(std::move(done));
    });
}

bool CommitQueue::SubmitReplay(ReplaySubmission replay, ReplayDone done,
                               const std::function<void()>& accepted) {
    return Enqueue(accepted, [&](Waiting& waiting) {
        waiting.replays.push_back(std::move(replay));
        waiting.replayDone.push_back(std::move(done));
    });
}

bool CommitQueue::Enqueue(const std::function<void()>& accepted, const std::function<void(Waiting&)>& push) {
    return queue.Put([&](Waiting& waiting) {
        if (accepted) accepted();
        push(waiting);
        return true;
    });
}

void CommitQueue::Close() { queue.Close(); }

void CommitQueue::Commit(Waiting& waiting, WorkQueue<Waiting>::Lock& lock) {
    std::swap(taken, waiting);
    lock.unlock();
    if (!taken.rows.empty()) StoreRows(taken.rows, taken.done);
    if (!taken.replays.empty()) StoreReplays(taken.replays, taken.replayDone);
    lock.lock();
}

void CommitQueue::StoreRows(std::vector<ScoreRow>& rows, std::vector<Done>& done) {
    std::string error;
    const bool stored = store.AddBatch(rows, error);
    if (stored) {
        storedRows += rows.size();
        ++commits;
        if (metrics) metrics->Committed(rows.size());
        failures.Recovered(log);
        // Before anyone is told: a client that reads the table right
        // after its 200 must find its row there.
        if (cache.CouldChange(rows) || std::chrono::steady_clock::now() >= nextRefresh) RefreshTable();
    } else {
        if (metrics) metrics->DatabaseError();
        failures.Log(log, error);
    }
    // After every attempt: a stamp that changed needlessly costs one full
    // page, one that missed a change would keep a browser's old page.
    RefreshStamp();
    for (const Done& tell : done) tell(stored);
    rows.clear();
    done.clear();
}

void CommitQueue::StoreReplays(std::vector<ReplaySubmission>& replays, std::vector<ReplayDone>& done) {
    std::vector<StoredReplay> stored(replays.size());
    std::vector<char> ok(replays.size());
    bool changed = false;
    for (std::size_t i = 0; i < replays.size(); ++i) {
        std::string error;
        ok[i] = store.StoreReplay(replays[i], stored[i], error);
        if (ok[i]) {
            if (metrics) metrics->Committed(1);
            failures.Recovered(log);
            changed = changed || stored[i].placement != StoredReplay::Placement::alreadyStored;
        } else {
            if (metrics) metrics->DatabaseError();
            failures.Log(log, error);
        }
    }
    // A replay may add a row or verify one: with only verified rows shown,
    // the table must hold it before its sender is told.
    if (changed) RefreshTable();
    RefreshStamp();
    for (std::size_t i = 0; i < replays.size(); ++i) done[i](ok[i] != 0, stored[i]);
    replays.clear();
    done.clear();
}

void CommitQueue::FailureLog::Log(const CommitQueue::Log& log, const std::string& error) {
    const auto now = std::chrono::steady_clock::now();
    failing = true;
    if (now < quietUntil) {
        ++held;
        return;
    }
    log("storage error: " + error + Held());
    quietUntil = now + std::chrono::seconds(1);
}

void CommitQueue::FailureLog::Recovered(const CommitQueue::Log& log) {
    if (!failing) return;
    log("storage works again" + Held());
    failing = false;
    quietUntil = {};
}

std::string CommitQueue::FailureLog::Held() {
    if (held == 0) return "";
    return " (" + std::to_string(std::exchange(held, 0)) + " more failed commits since the last line)";
}

void CommitQueue::RefreshTable() {
    // Due whether or not rows keep arriving: under steady load, changes made
    // elsewhere (another server process, an administrator) must still show.
    nextRefresh = std::chrono::steady_clock::now() + refreshPeriod;
    std::string error;
    if (cache.Refresh(store, error)) return;
    log("cannot read the table: " + error);
    if (metrics) metrics->DatabaseError();
}

void CommitQueue::RefreshStamp() {
    std::string error;
    if (cache.RefreshStamp(store, error)) return;
    log("cannot read the change stamp: " + error);
    if (metrics) metrics->DatabaseError();
}
