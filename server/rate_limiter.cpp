#include "server/rate_limiter.h"

#include <algorithm>

RateLimiter::RateLimiter(int perMinute, std::size_t maxTracked)
    : perMinute(std::max(perMinute, 0)), maxTracked(std::max<std::size_t>(maxTracked, 1)) {}

bool RateLimiter::Allow(std::string_view address, Clock::time_point now) {
    if (perMinute == 0) return true;
    const double capacity = perMinute;
    const double perSecond = capacity / 60.0;

    std::lock_guard lock(mutex);
    auto it = buckets.find(std::string(address));
    if (it == buckets.end()) {
        if (buckets.size() >= maxTracked) Forget(now);
        it = buckets.emplace(std::string(address), Bucket{capacity, now}).first;
    }
    Bucket& bucket = it->second;
    const double elapsed = std::chrono::duration<double>(now - bucket.updated).count();
    if (elapsed > 0) {
        bucket.tokens = std::min(capacity, bucket.tokens + elapsed * perSecond);
        bucket.updated = now;
    }
    if (bucket.tokens < 1.0) return false;
    bucket.tokens -= 1.0;
    return true;
}

std::size_t RateLimiter::TrackedCount() {
    std::lock_guard lock(mutex);
    return buckets.size();
}

void RateLimiter::Forget(Clock::time_point now) {
    // A bucket that has refilled completely behaves exactly like a new one.
    const auto refill = std::chrono::duration<double>(60.0);
    std::erase_if(buckets, [&](const auto& entry) {
        const double missing = perMinute - entry.second.tokens;
        return now - entry.second.updated >= refill * (missing / perMinute);
    });
    if (buckets.size() >= maxTracked) buckets.clear();
}
