// Limits how many submissions one client may make per minute.
#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string_view>

#include "server/http/recent_addresses.h"
#include "server/http/token_bucket.h"

// A token bucket per client (LimitKey: an IPv4 address, an IPv6 /64): each
// may burst `perMinute` requests and then gets one more every 60 / perMinute
// seconds. Safe to call from any thread.
class RateLimiter {
public:
    using Clock = TokenBucket::Clock;

    // perMinute 0 turns the limit off. maxTracked bounds the memory: when that
    // many clients are tracked, those whose buckets are full again are
    // forgotten (nothing is lost), and if too few are, the least recently
    // seen.
    explicit RateLimiter(int perMinute, std::size_t maxTracked = 65536);

    // True when a request from this address at time `now` is allowed (and
    // counts it); false when its client has used up its allowance.
    bool Allow(std::string_view address, Clock::time_point now);

    std::size_t TrackedCount();

private:
    void MakeRoom(Clock::time_point now);

    int perMinute;
    std::mutex mutex;
    RecentAddresses<TokenBucket> buckets;
};
