// The server's one verifier thread. The engine is one per process, so one
// thread plays every replay, in turns of a slice each: a turn goes to the
// client (LimitKey: an IPv4 address, an IPv6 /64) with a replay waiting that
// has the most CPU time left, the next in line among equals. A client sending
// games that take long to play spends its time and then waits for everyone
// else; it slows its own replays down, and no one else's by more than a slice.
// Each client may have a few replays held at once and spend so much CPU time
// a minute; a full checker refuses at once, so verification never takes more
// than one core, nor keeps more than `capacity` replays.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>

#include "replay/replay_verifier.h"
#include "server/http/recent_addresses.h"
#include "server/http/token_bucket.h"
#include "server/store/replay_upload.h"

struct ReplayCheckerLimits {
    std::size_t capacity = 8;   // replays held at once besides one, >= 1
    std::size_t perClient = 2;  // replays one client may have held at once, >= 1
    std::uint32_t maxFrames = MaxReplayFrames;
    std::chrono::nanoseconds cpuPerReplay{std::chrono::seconds(10)};  // 0: no bound
    // CPU time a client's replays may take a minute, and at most at once
    // after a quiet spell; a client past it is refused until it has paid
    // the time back. 0: no bound.
    std::chrono::nanoseconds cpuPerClientMinute{std::chrono::seconds(30)};
    std::chrono::nanoseconds slice{std::chrono::milliseconds(20)};  // wall time of one turn
};

class ReplayChecker {
public:
    // Runs on the verifier thread once the replay was played, or was not
    // because the checker closed (verdict Stopped).
    using Done = std::function<void(ReplayUpload upload, const ReplayCheck& check)>;

    enum class Admission {
        queued,      // done will run
        full,        // capacity replays are held already
        clientFull,  // the client has perClient replays held already
        overBudget,  // the client spent its CPU time
        closed,
    };

    explicit ReplayChecker(ReplayCheckerLimits limits);  // starts the thread
    ReplayChecker(const ReplayChecker&) = delete;
    ReplayChecker& operator=(const ReplayChecker&) = delete;
    ~ReplayChecker();  // Close()

    // Queues a replay from client (a peer address); any thread. accepted, if
    // set, runs under the checker's lock before done can run. Unless queued,
    // neither runs.
    Admission Submit(std::string_view client, ReplayUpload upload, Done done,
                     const std::function<void()>& accepted = {});

    // What Submit would answer now, without queueing anything: lets a
    // server turn a replay away before it reads the body.
    Admission WouldTake(std::string_view client);

    // Stops the run under way and answers every queued replay with Stopped,
    // without playing it; joins the thread. Idempotent.
    void Close();

private:
    struct Job {
        ReplayUpload upload;
        Done done;
        std::unique_ptr<ReplayRun> run;  // made in the job's first turn
    };
    using Clock = TokenBucket::Clock;

    void Run();
    // Plays the job's next slice, or stops it when closing: its verdict once
    // it is over. cpu: the thread's CPU time the slice took.
    std::optional<ReplayCheck> Turn(Job& job, std::chrono::nanoseconds& cpu);

    // Submit's answer for a client (LimitKey), under the lock.
    Admission Admits(const std::string& client);
    // The client's CPU seconds left now, under the lock.
    TokenBucket& Allowance(const std::string& client, double budget);

    const ReplayCheckerLimits limits;
    VerifyOptions options;
    std::mutex mutex;
    std::condition_variable wake;
    // Each client's replays, first come first; and the clients whose turn
    // comes, in order. The client being played is in neither order nor
    // out of jobs until its turn ends.
    std::unordered_map<std::string, std::deque<std::unique_ptr<Job>>> jobs;
    std::deque<std::string> turns;
    std::size_t held = 0;
    RecentAddresses<TokenBucket> spent;  // CPU seconds each client has left
    std::atomic<bool> closing{false};
    std::thread thread;
};
