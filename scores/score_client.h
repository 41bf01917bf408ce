// The score client: the two requests to the score server, as the game's
// score exchange (game/score_exchange.h).
//
// ExchangeScores sends a finished game with a GET on
// "/hosted/vlkn/scores/pr/add.php?name=<escaped name>&score=..&level=..&munchets=..&food=.."
// (no request without a submission), then GETs "/hosted/vlkn/scores/pr/view.php"
// and parses the table. Both run synchronously on the caller's thread; each
// is bounded by RequestConnectTimeoutMs and RequestTimeoutMs, so a dead or
// silent server stalls the game for seconds, not minutes. Nothing is
// retried and nothing is kept: a submission that does not arrive is lost.
#pragma once

#include <cstddef>
#include <string>

#include "game/score_exchange.h"

// The body of the table request as received so far; program-wide, emptied at
// the start of every table request, written only by ReceiveResponse.
extern std::string responseText;

// Chunks stop being kept once responseText holds this many characters; the
// test is made once per chunk, so the text may pass it by up to one chunk.
inline constexpr std::size_t MaxResponseLength = 100000;

// Time allowed to reach the server, and for a whole request, milliseconds.
inline constexpr long RequestConnectTimeoutMs = 3000;
inline constexpr long RequestTimeoutMs = 5000;

// The exchange at the end of a game: submission first (when given), then the
// table. Its fate: Stored on a 2xx answer, Refused on a 400, Lost otherwise.
// The table counts as received only on a complete 2xx answer.
ScoreExchangeResult ExchangeScores(const ScoreSubmission* submission);

// libcurl's write callback for the table request: appends the size * count
// bytes at data to responseText while it holds fewer than MaxResponseLength
// characters, drops them otherwise, and returns size * count either way so
// the transfer is never aborted. The user pointer is not used.
std::size_t ReceiveResponse(char* data, std::size_t size, std::size_t count, void* user);
