// One bounded request to the score server (a GET, or the POST
// of a replay), and what can be told afterwards about whether it reached
// the server. Made with libcurl natively (curl_request.cpp) and with the
// browser's XMLHttpRequest in the browser build (xhr_request.cpp).
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "common/game_ticket.h"
#include "game/score_exchange.h"

struct RequestLimits {
    std::chrono::milliseconds total;    // the whole request, connecting included; at least 1 ms
    std::chrono::milliseconds connect;  // name lookup and connecting; at most total
    // Once it reads true the request is given up within StopCheckInterval,
    // wherever it stands (a program that quits waits for no server). Null:
    // the request runs its course.
    const std::atomic<bool>* stop = nullptr;
};

inline constexpr std::chrono::milliseconds StopCheckInterval{10};

struct RequestOutcome {
    // False only when the request surely never left this machine: libcurl
    // never completed a connection (connect time 0) and counted no request
    // byte as sent (request size 0). That covers a refused connection, an
    // unreachable or unresolvable host, a time-out while resolving or
    // connecting and a TLS handshake that failed (the server's certificate
    // refused); every failure after that may have reached the server.
    bool sent = false;
    bool complete = false;  // the whole answer arrived (libcurl reported success)
    long status = 0;        // the HTTP status of the answer, 0 when no status line arrived
    bool stopped = false;   // given up because RequestLimits::stop was set
    std::string error;      // libcurl's error text when not complete
    std::chrono::milliseconds took{0};

    bool succeeded() const { return complete && status >= 200 && status <= 299; }
    // "HTTP status 500" or libcurl's error text, for the log.
    std::string failure() const;
};

// libcurl's write callback: data, size, count, user pointer; returns the
// number of bytes taken (size * count to go on).
using BodyWriter = std::size_t (*)(char* data, std::size_t size, std::size_t count, void* user);

// GETs url within limits, or, given postBody, POSTs it there as
// application/octet-stream. The answer's body goes to writer, called with a
// null user pointer; a null writer throws it away. Never raises a signal (the
// alarm libcurl would use is process-wide), never follows a redirect, and
// never waits for a "100 Continue" the server may not send. An https URL's
// certificate must name its host and chain to one of the system's
// certificate authorities, or to one in the PEM file the environment
// variable MUNCHET_SCORE_CA_FILE names (for tests and private servers).
RequestOutcome PerformRequest(const std::string& url, RequestLimits limits, BodyWriter writer,
                              std::optional<std::string_view> postBody = std::nullopt);

// The host's origin (ScoreServerOrigin) "/hosted/vlkn/scores/pr/add.php?name=" and the name
// percent-escaped (all but letters, digits and "-._~") and
// "&score=..&level=..&munchets=..&food=..", each counter a plain decimal.
std::string SubmissionUrl(const std::string& host, const ScoreSubmission& submission);

// The host's origin "/hosted/vlkn/scores/pr/replay.php?" and the same query as
// SubmissionUrl's: where the game's replay is posted.
std::string ReplayUrl(const std::string& host, const ScoreSubmission& submission);

// The host's origin "/hosted/vlkn/scores/pr/view.php".
std::string TableUrl(const std::string& host);

// The host's origin "/hosted/vlkn/scores/pr/ticket.php": where a game ticket is
// fetched (common/game_ticket.h).
std::string TicketUrl(const std::string& host);

// The host's origin "/hosted/vlkn/scores/pr/start.php?ticket=" the ticket's id
// "&mac=" its MAC in 64 lower-case hexadecimal digits: how the server hears
// that the ticket's game began.
std::string GameStartUrl(const std::string& host, const GameTicket& ticket);
