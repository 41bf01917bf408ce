#include "engine/frame_clock.h"

#include <cerrno>
#include <ctime>

void FrameClock::Start(std::int64_t now, int framesPerSecond) {
    period = 1'000'000'000 / (framesPerSecond > 0 ? framesPerSecond : 100);
    deadline = now;
    previousFrame = now - period;
}

float FrameClock::BeginFrame(std::int64_t now) {
    const double seconds = static_cast<double>(now - previousFrame) * 1e-9;
    previousFrame = now;
    return BoundFrameTime(static_cast<float>(seconds));
}

std::int64_t FrameClock::ScheduleNext(std::int64_t now) {
    deadline += period;
    if (now - deadline > period) deadline = now;
    return deadline;
}

std::int64_t MonotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void SleepUntil(std::int64_t deadline) {
    // An absolute wake-up time: a signal that interrupts the sleep, or a
    // late wake-up, never shifts the schedule.
    timespec until{};
    until.tv_sec = static_cast<time_t>(deadline / 1'000'000'000);
    until.tv_nsec = static_cast<long>(deadline % 1'000'000'000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}
