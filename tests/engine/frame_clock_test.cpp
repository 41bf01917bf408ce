// Frame pacing arithmetic, on made-up clock readings.
#include "engine/frame_clock.h"

#include <gtest/gtest.h>

namespace {

constexpr std::int64_t Ms = 1'000'000;

TEST(FrameClock, FirstFrameIsOnePeriod) {
    FrameClock clock;
    clock.Start(5 * Ms, 100);
    EXPECT_FLOAT_EQ(clock.BeginFrame(5 * Ms), 0.01f);
    EXPECT_EQ(clock.ScheduleNext(6 * Ms), 15 * Ms);
}

TEST(FrameClock, DeltaIsTheTimeBetweenFrameStarts) {
    FrameClock clock;
    clock.Start(0, 100);
    clock.BeginFrame(0);
    EXPECT_NEAR(clock.BeginFrame(12 * Ms), 0.012f, 1e-6f);
    EXPECT_NEAR(clock.BeginFrame(19 * Ms), 0.007f, 1e-6f);
}

TEST(FrameClock, DeltaIsNeverZeroNorNegativeNorHuge) {
    FrameClock clock;
    clock.Start(100 * Ms, 100);
    clock.BeginFrame(100 * Ms);
    EXPECT_EQ(clock.BeginFrame(100 * Ms), MinFrameDelta);
    EXPECT_EQ(clock.BeginFrame(90 * Ms), MinFrameDelta) << "a clock that goes backwards";
    EXPECT_EQ(clock.BeginFrame(3090 * Ms), MaxFrameDelta) << "a three-second stall";
    EXPECT_GT(MinFrameDelta, 0.0f);
}

TEST(FrameClock, LateWakeUpsDoNotShiftTheSchedule) {
    FrameClock clock;
    clock.Start(0, 100);
    // Each frame wakes 0.3 ms late and takes 2 ms; the deadlines stay on the 10 ms grid.
    std::int64_t now = 0;
    for (int frame = 1; frame <= 1000; ++frame) {
        const std::int64_t next = clock.ScheduleNext(now + 2 * Ms);
        EXPECT_EQ(next, frame * 10 * Ms);
        now = next + Ms * 3 / 10;
    }
}

TEST(FrameClock, AFrameLateByLessThanAPeriodIsCaughtUp) {
    FrameClock clock;
    clock.Start(0, 100);
    // The first frame took 15 ms: the second starts at once, the third on the grid.
    EXPECT_EQ(clock.ScheduleNext(15 * Ms), 10 * Ms);
    EXPECT_EQ(clock.ScheduleNext(17 * Ms), 20 * Ms);
}

TEST(FrameClock, AStallStartsANewScheduleInsteadOfRushing) {
    FrameClock clock;
    clock.Start(0, 100);
    EXPECT_EQ(clock.ScheduleNext(2000 * Ms), 2000 * Ms);
    EXPECT_EQ(clock.ScheduleNext(2001 * Ms), 2010 * Ms);
}

TEST(FrameClock, SleepUntilReturnsNoEarlierThanTheDeadline) {
    const std::int64_t deadline = MonotonicNanoseconds() + 2 * Ms;
    SleepUntil(deadline);
    EXPECT_GE(MonotonicNanoseconds(), deadline);
    SleepUntil(0);  // a deadline long gone returns at once
}

}  // namespace
