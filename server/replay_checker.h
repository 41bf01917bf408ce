// The server's one verifier thread: replays wait in a bounded queue and are
// played again one at a time, as the engine is one per process. A full queue
// refuses at once, so verification can never take more than one core, nor
// keep more than `capacity` replays waiting.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "replay/replay_verifier.h"
#include "server/replay_upload.h"

class ReplayChecker {
public:
    // Runs on the verifier thread once the replay was played, or was not
    // because the checker closed (verdict Stopped).
    using Done = std::function<void(ReplayUpload upload, const ReplayCheck& check)>;

    // capacity: replays waiting besides the one being played, >= 1.
    // maxFrames and cpuBudget bound each run (VerifyOptions). Starts the thread.
    ReplayChecker(std::size_t capacity, std::uint32_t maxFrames, std::chrono::nanoseconds cpuBudget);
    ReplayChecker(const ReplayChecker&) = delete;
    ReplayChecker& operator=(const ReplayChecker&) = delete;
    ~ReplayChecker();  // Close()

    // Queues a replay; any thread. accepted, if set, runs under the queue's
    // lock before done can run. False, and neither runs, when the queue is
    // full or closed.
    bool Submit(ReplayUpload upload, Done done, const std::function<void()>& accepted = {});

    // Stops the run under way and answers every queued replay with Stopped,
    // without playing it; joins the thread. Idempotent.
    void Close();

private:
    struct Job {
        ReplayUpload upload;
        Done done;
    };

    void Run();

    const std::size_t capacity;
    VerifyOptions options;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Job> waiting;
    std::atomic<bool> closing{false};
    std::thread thread;
};
