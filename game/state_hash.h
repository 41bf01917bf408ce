// A fingerprint of everything the rules keep about a game (the players,
// munchets, food, food sources and counters, bit for bit): two runs that end
// with the same one played the same game. How a replay's end is checked in
// the tests, and how the browser build shows that it plays the same game.
#pragma once

#include <cstdint>
#include <cstring>

struct Game;

// FNV-1a over the bytes of each value added.
struct StateHash {
    std::uint64_t value = 1469598103934665603ULL;
    template <typename T>
    void add(const T& v) {
        unsigned char bytes[sizeof(T)];
        std::memcpy(bytes, &v, sizeof(T));
        for (unsigned char b : bytes) value = (value ^ b) * 1099511628211ULL;
    }
};

std::uint64_t HashState(const Game& game);
