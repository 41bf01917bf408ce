// Frame pacing: when each frame is due, and the frame time the game is told.
#pragma once

#include <cstdint>

#include "engine/frame_input.h"

// A schedule of frame deadlines one period apart. Deadlines are advanced by
// the period rather than measured from when a frame happened to start, so
// sleeping late by a little does not make the whole game run slow; a loop
// that has fallen more than a period behind starts a new schedule instead of
// rushing through the frames it missed. Times are nanoseconds on the
// monotonic clock.
struct FrameClock {
    std::int64_t period = 10'000'000;
    std::int64_t deadline = 0;       // when the next frame is due
    std::int64_t previousFrame = 0;  // when the last frame started

    // The first frame is due at now and is told one period.
    void Start(std::int64_t now, int framesPerSecond);
    // At the start of a frame: the seconds since the previous frame started,
    // bounded by BoundFrameTime.
    float BeginFrame(std::int64_t now);
    // After a frame, given the time now: when the next frame is due.
    std::int64_t ScheduleNext(std::int64_t now);
};

// The monotonic clock, nanoseconds.
std::int64_t MonotonicNanoseconds();
// Sleeps (without spinning) until the monotonic clock reads at least deadline.
void SleepUntil(std::int64_t deadline);
