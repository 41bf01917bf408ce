#include "server/http/log_throttle.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

int AdmittedOf(LogThrottle& throttle, LogThrottle::Clock::time_point at, int lines) {
    int admitted = 0;
    for (int i = 0; i < lines; ++i) admitted += throttle.Admit(at) ? 1 : 0;
    return admitted;
}

TEST(LogThrottle, AdmitsSoManyLinesASecondAndCountsTheRestOnce) {
    LogThrottle throttle(5);
    const auto t0 = LogThrottle::Clock::time_point{} + 1000h;
    EXPECT_EQ(AdmittedOf(throttle, t0, 12), 5);
    EXPECT_EQ(AdmittedOf(throttle, t0 + 999ms, 3), 0);  // the same second
    EXPECT_EQ(throttle.TakeHeld(), 10u);
    EXPECT_EQ(throttle.TakeHeld(), 0u);
    EXPECT_EQ(AdmittedOf(throttle, t0 + 1s, 7), 5);  // a new second, a new allowance
    EXPECT_EQ(throttle.TakeHeld(), 2u);
}

}  // namespace
