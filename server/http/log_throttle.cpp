#include "server/http/log_throttle.h"

#include <utility>

bool LogThrottle::Admit(Clock::time_point now) {
    std::lock_guard lock(mutex);
    if (now - window >= std::chrono::seconds(1)) {
        window = now;
        linesInWindow = 0;
    }
    if (++linesInWindow > linesPerSecond) {
        ++held;
        return false;
    }
    return true;
}

std::size_t LogThrottle::TakeHeld() {
    std::lock_guard lock(mutex);
    return std::exchange(held, 0);
}
