// Lets a chatty source say so many lines a second and counts the rest, so
// that a flood of messages (the HTTP library reports every connection that
// breaks off mid-request: thousands under an attack) costs a counter, not
// the log.
#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>

class LogThrottle {
public:
    using Clock = std::chrono::steady_clock;

    explicit LogThrottle(int linesPerSecond) : linesPerSecond(linesPerSecond) {}

    // Any thread. True when a line may be written now; false when it is
    // over the rate, and then it is counted as held back.
    bool Admit(Clock::time_point now);

    // The lines held back since the last call.
    std::size_t TakeHeld();

private:
    const int linesPerSecond;
    std::mutex mutex;
    Clock::time_point window{};
    int linesInWindow = 0;
    std::size_t held = 0;
};
