// Every open connection of the server, with the bounds on how many may be
// open and on how long each may take. The HTTP library's own time-out only
// measures silence, so a client sending a byte a second would never reach
// it; here each connection has a deadline for the request it is sending and
// for the reply it is taking, and an overdue socket is shut down, which makes
// the library close the connection itself.
#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

class ConnectionTable {
public:
    using Clock = std::chrono::steady_clock;

    struct Limits {
        std::size_t total = 4000;    // open connections at once, >= 1
        std::size_t perClient = 32;  // open connections from one client (LimitKey); 0: no bound
        Clock::duration io{std::chrono::seconds(5)};    // to send one request once begun, or take one reply
        Clock::duration idle{std::chrono::seconds(2)};  // between requests on a kept-alive connection
        // A request body is given io and a second more for each this many
        // bytes it holds, so that a large one over a slow line is not cut off.
        std::size_t bodyBytesPerSecond = 16384;
    };

    // What a connection is doing, which decides its deadline.
    enum class Phase {
        waiting,    // for a request line: io after connecting, idle after a reply
        receiving,  // the rest of the request: io from the request line
        storing,    // its submission waits for a commit: no deadline, the wait is ours
        replying,   // io to take the reply
    };

    // One connection, owned by the caller and registered from Open to Close.
    // Only the table touches its fields after Open.
    struct Entry {
        int fd = -1;          // the connection's socket, still owned by the library
        std::string address;  // the peer's address
    private:
        friend class ConnectionTable;
        std::string client;  // LimitKey(address): the key of the per-client bound
        Phase phase = Phase::waiting;
        Clock::time_point deadline{};
        std::size_t index = 0;  // position in open; meaningful while counted
        bool counted = false;   // admitted and not yet closed
        bool cut = false;       // shut down already
    };

    // What a sweep or a refusal did, for the log.
    struct Tally {
        std::size_t count = 0;
        std::string lastAddress;  // the address of the last one counted
    };

    explicit ConnectionTable(Limits limits) : limits(limits) {}

    // Registers a new connection at `now`. False when it is over a bound: its
    // socket is shut down at once and it is counted as refused. Either way
    // the caller calls Close when the library closes it.
    bool Open(Entry& entry, Clock::time_point now);
    void Close(Entry& entry);

    // The phase changes of one connection's request.
    void RequestBegan(Entry& entry, Clock::time_point now) {
        Enter(entry, Phase::receiving, now + limits.io);
    }
    // The request's line and headers are in, and a body of `bytes` follows:
    // its deadline, counted from the request line, grows by the body's share.
    void ExpectBody(Entry& entry, std::size_t bytes);
    void Storing(Entry& entry) { Enter(entry, Phase::storing, Clock::time_point::max()); }
    void Replying(Entry& entry, Clock::time_point now) { Enter(entry, Phase::replying, now + limits.io); }
    void RequestDone(Entry& entry, Clock::time_point now) { Enter(entry, Phase::waiting, now + limits.idle); }

    // Shuts down every connection past its deadline; tells how many it cut.
    Tally CutOverdue(Clock::time_point now);
    // The connections refused since the last call.
    Tally TakeRefused();

    std::size_t OpenCount() const;
    // Connections with a request under way (receiving, storing or replying).
    std::size_t BusyCount() const;

private:
    void Enter(Entry& entry, Phase phase, Clock::time_point deadline);

    const Limits limits;
    mutable std::mutex mutex;
    std::vector<Entry*> open;
    std::unordered_map<std::string, std::size_t> perAddress;
    Tally refused;
};
