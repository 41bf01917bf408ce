// One connection of the public port and the request it is serving, as the
// daemon's callbacks and the routes behind them share it.
#pragma once

#include <microhttpd.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "server/http/connection_table.h"
#include "server/http/score_service.h"
#include "server/web/web_reply.h"

// Where a request stands between the library's calls.
enum class Stage {
    arrived,  // the request line is in; the answer is not decided yet
    decided,  // decision holds the answer: reading the body, or answering now
    // A replay the verifier would not take: its body is read and dropped,
    // unparsed, and decision.reply answered after it (answered before it,
    // the client would see its connection reset and not the reason).
    droppingBody,
    // Suspended until another thread resumes it with the answer:
    waitingForStore,   // the commit of decision.row; `stored` says how it went
    waitingForPage,    // a page thread reading the store; `webReply` holds the answer
    waitingForReplay,  // the verifier and the store, or a ticket's start; `replayReply`
};

// The library runs each connection on one of its threads only, so the
// request fields need no lock; `stored` is written by the committing thread
// before it resumes the connection, and `webReply` by a page thread before it
// resumes it (resuming goes through the library's lock, which orders the two).
struct Connection {
    using Clock = std::chrono::steady_clock;

    ConnectionTable::Entry entry;
    MHD_Connection* handle = nullptr;

    std::string target;  // raw request target, as received
    std::string method;  // empty until the request reached us
    std::string client;  // the address the request counts under
    Clock::time_point began;
    int status = 0;  // of the reply we queued; 0: none yet
    Stage stage = Stage::arrived;
    ScoreDecision decision;
    std::atomic<bool> stored{false};
    std::string ifNoneMatch;    // for the web page and /play/: the header's value, "" when absent
    bool gzipAccepted = false;  // for /play/: Accept-Encoding takes gzip
    WebReply webReply;
    std::string body;            // a replay's bytes as they arrive
    std::size_t bodyLength = 0;  // its Content-Length, counted against the replay budget
    ScoreReply replayReply;      // written by whichever thread resumes the connection
};

// From any thread, for a connection in Stage::waitingForReplay.
inline void ResumeWithReply(Connection& connection, ScoreReply reply) {
    connection.replayReply = std::move(reply);
    MHD_resume_connection(connection.handle);
}

// The server's wall clock, in ms since 1970, as tickets are timed by it.
inline std::int64_t UnixMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}
