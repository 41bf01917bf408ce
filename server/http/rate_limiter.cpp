#include "server/http/rate_limiter.h"

#include <algorithm>

#include "server/store/client_address.h"

RateLimiter::RateLimiter(int perMinute, std::size_t maxTracked)
    : perMinute(std::max(perMinute, 0)), buckets(maxTracked) {}

bool RateLimiter::Allow(std::string_view address, Clock::time_point now) {
    if (perMinute == 0) return true;
    const double capacity = perMinute;
    const std::string key = LimitKey(address);

    std::lock_guard lock(mutex);
    if (buckets.Full() && !buckets.Knows(key)) MakeRoom(now);
    TokenBucket& bucket = buckets.Seen(key, TokenBucket{capacity, now});
    bucket.Refill(capacity, capacity / 60.0, now);
    if (bucket.tokens < 1.0) return false;
    bucket.tokens -= 1.0;
    return true;
}

std::size_t RateLimiter::TrackedCount() {
    std::lock_guard lock(mutex);
    return buckets.Size();
}

void RateLimiter::MakeRoom(Clock::time_point now) {
    const double capacity = perMinute;
    buckets.ForgetIf([&](const TokenBucket& b) { return b.Refilled(capacity, capacity / 60.0, now); });
    // An eighth is made free at once, so that the sweep above runs once per
    // that many newcomers, not for each.
    while (buckets.Size() > buckets.Capacity() - buckets.Capacity() / 8) buckets.ForgetLeastRecent();
}
