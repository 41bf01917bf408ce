#include "server/http/rate_limiter.h"

#include <gtest/gtest.h>

#include "server/store/client_address.h"

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

TEST(RateLimiter, CountsAnIpv6SubscribersWholeSlash64AsOne) {
    RateLimiter limiter(2);
    const auto t0 = RateLimiter::Clock::time_point{} + 1000h;
    EXPECT_EQ(AllowedOf(limiter, "2001:db8:1:2::1", t0, 1), 1);
    EXPECT_EQ(AllowedOf(limiter, "2001:db8:1:2:ffff:ffff:ffff:fffe", t0, 2), 1) << "the same /64";
    EXPECT_EQ(AllowedOf(limiter, "2001:db8:1:3::1", t0, 2), 2) << "the next /64";
    EXPECT_EQ(AllowedOf(limiter, "192.0.2.1", t0, 1) + AllowedOf(limiter, "192.0.2.2", t0, 1), 2)
        << "IPv4 counts each address";
    EXPECT_EQ(LimitKey("2001:db8:1:2:aaaa::1"), "2001:db8:1:2::/64");
    EXPECT_EQ(LimitKey("not an address"), "not an address");
}

TEST(RateLimiter, AFullTrackerForgetsTheLeastRecentlySeenNotEveryone) {
    RateLimiter limiter(1, 8);
    const auto t0 = RateLimiter::Clock::time_point{} + 1000h;
    for (int i = 0; i < 8; ++i) ASSERT_TRUE(limiter.Allow("10.0.0." + std::to_string(i), t0));
    EXPECT_FALSE(limiter.Allow("10.0.0.0", t0 + 1s)) << "seen again: now the most recent";
    EXPECT_TRUE(limiter.Allow("10.0.1.0", t0 + 1s)) << "a newcomer makes room";
    EXPECT_EQ(limiter.TrackedCount(), 8u);
    EXPECT_TRUE(limiter.Allow("10.0.0.1", t0 + 1s)) << "the least recently seen was forgotten";
    for (const char* busy : {"10.0.0.0", "10.0.0.7", "10.0.1.0"})
        EXPECT_FALSE(limiter.Allow(busy, t0 + 1s)) << busy << " kept its count";
}

}  // namespace
