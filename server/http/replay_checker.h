// The server's verifier threads. They play every replay in turns of a slice
// each: a free thread's turn goes to the client (LimitKey: an IPv4 address,
// an IPv6 /64) with a replay waiting that has the most CPU time left, the
// next in line among equals; a client is played by one thread at a time, so
// its replays take turns on one core at most. A client sending games that
// take long to play spends its time and then waits for everyone else; it
// slows its own replays down, and no one else's by more than a slice.
// Each client may have a few replays held at once and spend so much CPU time
// a minute; a full checker refuses at once, so verification never takes more
// than `threads` cores, nor keeps more than `capacity` replays waiting.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "replay/replay_verifier.h"
#include "server/http/recent_addresses.h"
#include "server/http/token_bucket.h"
#include "server/http/work_queue.h"
#include "server/store/replay_upload.h"

struct ReplayCheckerLimits {
    int threads = 1;            // threads playing replays, >= 1
    std::size_t capacity = 8;   // replays held at once besides those being played, >= 1
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
    // Runs on a verifier thread once the replay was played, or was not
    // because the checker closed (verdict Stopped). cpu: the CPU time its
    // turns took, all together.
    using Done =
        std::function<void(ReplayUpload upload, const ReplayCheck& check, std::chrono::nanoseconds cpu)>;

    enum class Admission {
        queued,      // done will run
        full,        // capacity replays are held already
        clientFull,  // the client has perClient replays held already
        overBudget,  // the client spent its CPU time
        closed,
    };

    explicit ReplayChecker(ReplayCheckerLimits limits);  // starts the threads
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

    // Stops the runs under way and answers every queued replay with Stopped,
    // without playing it; joins the threads. Idempotent.
    void Close();

private:
    struct Job {
        ReplayUpload upload;
        Done done;
        std::unique_ptr<ReplayRun> run;   // made in the job's first turn
        std::chrono::nanoseconds cpu{0};  // its turns' CPU time so far
    };
    using Clock = TokenBucket::Clock;
    // Clients whose CPU time is remembered; past it the least recently seen
    // is forgotten, which hands it back a full minute's time and no one else.
    static constexpr std::size_t trackedClients = 65536;
    // Each client's replays, first come first; and the clients whose turn
    // comes, in order. A client being played is in neither order nor out of
    // jobs until its turn ends.
    struct Waiting {
        std::unordered_map<std::string, std::deque<std::unique_ptr<Job>>> jobs;
        std::deque<std::string> turns;
        std::size_t held = 0;
        RecentAddresses<TokenBucket> spent{trackedClients};  // CPU seconds each client has left
    };
    using Lock = WorkQueue<Waiting>::Lock;

    // Under the lock: gives the next client its turn, playing one slice of
    // its first replay without the lock.
    void TakeTurn(Waiting& waiting, Lock& lock);
    // Plays the job's next slice, or stops it when closing: its verdict once
    // it is over. cpu: the thread's CPU time the slice took.
    std::optional<ReplayCheck> Turn(Job& job, std::chrono::nanoseconds& cpu);

    // Submit's answer for a client (LimitKey), under the lock.
    Admission Admits(Waiting& waiting, const std::string& client);
    // The client's CPU seconds left now, under the lock.
    static TokenBucket& Allowance(Waiting& waiting, const std::string& client, double budget);

    const ReplayCheckerLimits limits;
    const double budget;  // limits.cpuPerClientMinute in seconds
    VerifyOptions options;
    WorkQueue<Waiting> queue;  // last: its threads stop before the rest goes
};
