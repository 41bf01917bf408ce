// What the server answers to one request, apart from any socket: routing by
// the raw request target, the rate limit, validation and storage.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "server/rate_limiter.h"
#include "server/score_store.h"

inline constexpr std::string_view addPath = "/hosted/vlkn/scores/pr/add.php";
inline constexpr std::string_view viewPath = "/hosted/vlkn/scores/pr/view.php";

// A plain-text reply.
struct ScoreReply {
    int status;           // HTTP status code
    std::string body;     // text/plain, ends with "\n" unless it is an empty table
    std::string logNote;  // extra detail for the server log only (storage errors); usually empty
};

// Borrows the store and the limiter; both must outlive it.
struct ScoreService {
    ScoreStore& store;
    RateLimiter& limiter;

    // target: the raw request target (path and query, not decoded).
    // client: the address the request is counted and recorded under.
    // now: for the rate limit; unixTime: seconds since 1970, stored with the row.
    ScoreReply Handle(std::string_view target, std::string_view client, RateLimiter::Clock::time_point now,
                      std::int64_t unixTime);
};
