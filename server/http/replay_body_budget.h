// The bytes of replay bodies held at once, together: those waiting for the
// verifier, the ones it plays and a few more on their way in. A crowd of
// slow uploads is turned away before it can fill the memory.
#pragma once

#include <atomic>
#include <cstddef>

class ReplayBodyBudget {
public:
    explicit ReplayBodyBudget(std::size_t limit) : limit(limit) {}

    // Any thread. True when `bytes` more fit, and then they are held until Release.
    bool Take(std::size_t bytes) {
        if (held.fetch_add(bytes) + bytes <= limit) return true;
        held -= bytes;
        return false;
    }

    void Release(std::size_t bytes) { held -= bytes; }

private:
    const std::size_t limit;
    std::atomic<std::size_t> held{0};
};
