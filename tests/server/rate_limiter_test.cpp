#include "server/rate_limiter.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

int AllowedOf(RateLimiter& limiter, std::string_view address, RateLimiter::Clock::time_point at,
              int attempts) {
    int allowed = 0;
    for (int i = 0; i < attempts; ++i) allowed += limiter.Allow(address, at) ? 1 : 0;
    return allowed;
}

TEST(RateLimiter, AllowsABurstThenOnePerShareOfAMinute) {
    RateLimiter limiter(30);
    const auto t0 = RateLimiter::Clock::time_point{} + 1000h;
    EXPECT_EQ(AllowedOf(limiter, "198.51.100.1", t0, 40), 30);
    // 30 a minute: one more every 2 seconds.
    EXPECT_FALSE(limiter.Allow("198.51.100.1", t0 + 1900ms));
    EXPECT_TRUE(limiter.Allow("198.51.100.1", t0 + 2000ms));
    EXPECT_FALSE(limiter.Allow("198.51.100.1", t0 + 2100ms));
    // A full minute of silence refills the bucket, and no more than that.
    EXPECT_EQ(AllowedOf(limiter, "198.51.100.1", t0 + 10min, 40), 30);
}

TEST(RateLimiter, CountsEachAddressOnItsOwn) {
    RateLimiter limiter(2);
    const auto t0 = RateLimiter::Clock::time_point{} + 1000h;
    EXPECT_EQ(AllowedOf(limiter, "a", t0, 5), 2);
    EXPECT_EQ(AllowedOf(limiter, "b", t0, 5), 2);
    EXPECT_EQ(AllowedOf(limiter, "a", t0, 1), 0);
}

TEST(RateLimiter, ZeroTurnsTheLimitOff) {
    RateLimiter limiter(0);
    EXPECT_EQ(AllowedOf(limiter, "a", RateLimiter::Clock::time_point{}, 10000), 10000);
    EXPECT_EQ(limiter.TrackedCount(), 0u);
}

TEST(RateLimiter, BoundsTheAddressesItRemembers) {
    RateLimiter limiter(2, 100);
    const auto t0 = RateLimiter::Clock::time_point{} + 1000h;
    for (int i = 0; i < 1000; ++i) limiter.Allow("addr" + std::to_string(i), t0);
    EXPECT_LE(limiter.TrackedCount(), 100u);

    // Idle addresses are forgotten first: the busy one keeps its count.
    RateLimiter keeps(2, 3);
    EXPECT_EQ(AllowedOf(keeps, "busy", t0 + 60s, 2), 2);
    keeps.Allow("idle1", t0);
    keeps.Allow("idle2", t0);
    EXPECT_TRUE(keeps.Allow("new", t0 + 61s));
    EXPECT_FALSE(keeps.Allow("busy", t0 + 61s));
}

}  // namespace
