// Limits how many submissions one client address may make per minute.
#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

// A token bucket per address: each address may burst `perMinute` requests and
// then gets one more every 60 / perMinute seconds. Safe to call from any thread.
class RateLimiter {
public:
    using Clock = std::chrono::steady_clock;

    // perMinute 0 turns the limit off. maxTracked bounds the memory: when that
    // many addresses are tracked, idle ones are forgotten, and if all are busy
    // the table starts afresh (a flood from that many addresses is beyond what
    // a per-address limit can stop anyway).
    explicit RateLimiter(int perMinute, std::size_t maxTracked = 65536);

    // True when a request from this address at time `now` is allowed (and
    // counts it); false when the address has used up its allowance.
    bool Allow(std::string_view address, Clock::time_point now);

    std::size_t TrackedCount();

private:
    struct Bucket {
        double tokens;              // requests still allowed right now
        Clock::time_point updated;  // when tokens was last brought up to date
    };

    void Forget(Clock::time_point now);

    int perMinute;
    std::size_t maxTracked;
    std::mutex mutex;
    std::unordered_map<std::string, Bucket> buckets;
};
