// Group commit. Submissions wait in a queue while a commit is under way and
// are then stored together, in one transaction with one sync, however many
// arrived; each is answered only once its row is durable. Replays, already
// checked, are stored on the same thread after the batch, each in its own
// transaction. The same thread
// keeps the table cache and the change stamp fresh: after every commit, and
// every refreshPeriod while idle, for changes made by other programs.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "server/http/work_queue.h"
#include "server/store/score_store.h"
#include "server/store/table_cache.h"

class ServerMetrics;

class CommitQueue {
public:
    // stored: true once the row is durable and the table cache and the change
    // stamp include it.
    using Done = std::function<void(bool stored)>;
    // stored: false when storage failed; else as StoreReplay left it, with the
    // table cache and the change stamp already including it.
    using ReplayDone = std::function<void(bool stored, const StoredReplay& replay)>;
    using Log = std::function<void(std::string_view line)>;

    // Borrows store and cache, which must outlive it, and starts the committing thread.
    // metrics, if set, is borrowed too and counts commits and failures.
    CommitQueue(ScoreStore& store, TableCache& cache, Log log,
                std::chrono::milliseconds refreshPeriod = std::chrono::seconds(1),
                ServerMetrics* metrics = nullptr);
    CommitQueue(const CommitQueue&) = delete;
    CommitQueue& operator=(const CommitQueue&) = delete;
    ~CommitQueue();  // Close()

    // Queues a row; any thread. accepted, if set, runs under the queue's lock
    // before the row can be committed, so whatever it prepares is in place
    // before done can run. done runs later on the committing thread. False
    // when the queue is closed: then neither runs. The queue holds at most
    // one row per waiting client, so it needs no bound of its own.
    bool Submit(ScoreRow row, Done done, const std::function<void()>& accepted = {});

    // Queues a replay for ScoreStore::StoreReplay; otherwise like Submit.
    // The verifier's bounded queue bounds these too.
    bool SubmitReplay(ReplaySubmission replay, ReplayDone done, const std::function<void()>& accepted = {});

    // Stops taking rows, commits every row already queued, runs their done
    // and joins the thread. Idempotent.
    void Close();

    std::uint64_t StoredRows() const { return storedRows.load(); }
    std::uint64_t Commits() const { return commits.load(); }

private:
    // While storage is down every commit fails the same way, as fast as rows
    // come in: one line a second says so, with a count of the rest.
    struct FailureLog {
        void Log(const CommitQueue::Log& log, const std::string& error);
        void Recovered(const CommitQueue::Log& log);
        std::string Held();  // the count of failures not logged yet, as words; resets it

        bool failing = false;
        std::size_t held = 0;
        std::chrono::steady_clock::time_point quietUntil{};
    };

    // What waits for the next commit: rows with their done, index by index,
    // and replays likewise.
    struct Waiting {
        std::vector<ScoreRow> rows;
        std::vector<Done> done;
        std::vector<ReplaySubmission> replays;
        std::vector<ReplayDone> replayDone;
    };

    // Runs push under the lock unless closing, accepted first.
    bool Enqueue(const std::function<void()>& accepted, const std::function<void(Waiting&)>& push);
    // Stores what queued up while the last commit ran, all in this one.
    void Commit(Waiting& waiting, WorkQueue<Waiting>::Lock& lock);
    // Each stores what was taken from the queue, keeps the table cache and
    // the change stamp fresh, tells every sender and empties its lists.
    void StoreRows(std::vector<ScoreRow>& rows, std::vector<Done>& done);
    void StoreReplays(std::vector<ReplaySubmission>& replays, std::vector<ReplayDone>& done);
    void RefreshTable();  // and sets nextRefresh
    void RefreshStamp();

    ScoreStore& store;
    TableCache& cache;
    Log log;
    std::chrono::milliseconds refreshPeriod;
    ServerMetrics* metrics;

    FailureLog failures;                                // the committing thread's own
    std::chrono::steady_clock::time_point nextRefresh;  // the committing thread's own
    Waiting taken;                                      // the committing thread's own

    std::atomic<std::uint64_t> storedRows{0};
    std::atomic<std::uint64_t> commits{0};
    WorkQueue<Waiting> queue;  // last: its thread stops before the rest goes
};
