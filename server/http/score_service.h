// What the server answers to one request, apart from any socket: the HTTP
// rules we hold requests to, routing by the raw request target, the rate
// limit and validation. Storing a row, serving the table and reading the web
// page's rows are left to the caller, which knows how to wait for a commit
// and where the table is kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "replay/replay_verifier.h"
#include "server/http/rate_limiter.h"
#include "server/store/score_store.h"
#include "server/store/submission_screen.h"
#include "server/store/ticket_mint.h"
#include "server/web/web_reply.h"

inline constexpr std::string_view addPath = "/hosted/vlkn/scores/pr/add.php";
inline constexpr std::string_view viewPath = "/hosted/vlkn/scores/pr/view.php";
// GET: a new game ticket (common/game_ticket.h), as one line of text.
inline constexpr std::string_view ticketPath = "/hosted/vlkn/scores/pr/ticket.php";
// GET ?ticket=ID&mac=MAC: the game of that ticket begins now.
inline constexpr std::string_view startPath = "/hosted/vlkn/scores/pr/start.php";
// The web page is served at the root and, for proxies that forward only the
// game's folder, under that folder too: "/" and "/hosted/vlkn/scores/pr/" are
// the page, "api/scores" and "style.css" below either its JSON twin and its
// stylesheet. GET and HEAD both; no other method.
inline constexpr std::string_view gameFolder = "/hosted/vlkn/scores/pr";
// The game built for the browser (play_files.h): "/play", and what is below
// it, at the root and under gameFolder alike. GET and HEAD.
inline constexpr std::string_view playFolder = "/play";

// What a path is, as the one table of the server's routes says: the web page,
// its JSON twin and stylesheet, and the game's view.php, replay.php,
// ticket.php, start.php and add.php. Nothing for a path not served.
enum class ServedRoute { page, json, style, table, replay, ticket, start, add };
std::optional<ServedRoute> RouteOfPath(std::string_view path);

// The parts of a request the answer depends on, as the HTTP library parsed them.
struct RequestFacts {
    std::string_view method;      // "GET", "POST", ...
    std::string_view version;     // "HTTP/1.1", "HTTP/1.0", ...
    std::string_view target;      // raw request target: path and query, not decoded
    bool hasHost = false;         // a Host header was sent
    std::size_t headerBytes = 0;  // request line and headers together
};

// A plain-text reply.
struct ScoreReply {
    int status = 200;    // HTTP status code
    std::string body;    // text/plain, ends with "\n"
    bool close = false;  // close the connection after it: the client is not to be trusted further
};

struct ScoreDecision {
    enum class Kind {
        reply,     // send `reply`
        table,     // send the current table
        store,     // store `row`, then send StoredReply(...)
        web,       // answer `web` (web_reply.h)
        replay,    // take the body, a replay of the game in `row`: verify it, store it
        download,  // send the bytes of replay `replayId`
        start,     // record that the game of ticket `ticketId` (checked genuine) begins now
        play,      // answer from the browser game's files: PlayFiles::Answer(playRest, ...)
    };
    Kind kind = Kind::reply;
    ScoreReply reply;
    ScoreRow row;                // for store
    WebRequest web;              // for web
    std::int64_t replayId = 0;   // for download: > 0
    std::uint64_t ticketId = 0;  // for start
    std::string playRest{};      // for play: the raw target after ".../play", query included
};

// Borrows the limiters, the mint and the screen, which must outlive it.
struct ScoreService {
    RateLimiter& limiter;
    std::size_t maxRequestBytes;               // largest request line and headers accepted
    const SubmissionScreen* screen = nullptr;  // bans and blocked names; null: none
    // ticket.php and start.php count against this limit; they answer 503
    // while either is missing.
    RateLimiter* ticketLimiter = nullptr;
    TicketMint* mint = nullptr;
    bool playLinks = false;  // the browser game is served: the web page links to it

    // client: the address the request is counted and recorded under.
    // now: for the rate limit; unixTime: seconds since 1970, stored with a row.
    ScoreDecision Handle(const RequestFacts& request, std::string_view client,
                         RateLimiter::Clock::time_point now, std::int64_t unixTime);
};

// The answer to a submission once storing it succeeded or failed.
ScoreReply StoredReply(bool stored);

// The answer to a replay that is not stored: refused, or not played (the
// CPU bound, a server stopping: stopping).
ScoreReply UnstoredReplayReply(const ReplayCheck& check, bool stopping);
// The answer to a replay handed to the store: VERIFIED or ATTACHED as the
// row's flag now says, or 503 when storing failed.
ScoreReply StoredReplayReply(bool stored, const StoredReplay& replay);
