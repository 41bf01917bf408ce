// An allowance that refills with time: `capacity` units at most, `perSecond`
// more each second. The rate limit counts requests in it, the verifier CPU
// seconds.
#pragma once

#include <algorithm>
#include <chrono>

struct TokenBucket {
    using Clock = std::chrono::steady_clock;

    double tokens = 0;          // units left now; below 0 while a debt is paid off
    Clock::time_point updated;  // when tokens was last brought up to date

    void Refill(double capacity, double perSecond, Clock::time_point now) {
        const double elapsed = std::chrono::duration<double>(now - updated).count();
        if (elapsed <= 0) return;
        tokens = std::min(capacity, tokens + elapsed * perSecond);
        updated = now;
    }
    // True when a bucket refilled to `capacity` by now, which is no different
    // from a new one.
    bool Refilled(double capacity, double perSecond, Clock::time_point now) const {
        return std::chrono::duration<double>(now - updated).count() * perSecond >= capacity - tokens;
    }
};
