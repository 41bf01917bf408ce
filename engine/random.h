#pragma once

#include <cstdint>

// Everything the random generator is: two 64-bit numbers. Read it and set it
// back (Random_GetState, Random_SetState) to replay the same draws; a journal
// keeps it beside the input. increment is always odd.
struct RandomState {
    std::uint64_t state = 0;
    std::uint64_t increment = 1;

    bool operator==(const RandomState&) const = default;
};

// The engine's one random generator: PCG32 (O'Neill), chosen because it is
// small, fast and gives the same sequence on every machine and compiler.
struct RandomGenerator {
    std::uint64_t state = 0x853c49e6748fea9bULL;
    std::uint64_t increment = 0xda3e39cb94b95bdbULL;

    void Seed(std::uint32_t seed);
    RandomState GetState() const { return {state, increment}; }
    // An even increment (which no seed gives) is made odd: PCG needs it so.
    void SetState(const RandomState& to) {
        state = to.state;
        increment = to.increment | 1u;
    }
    std::uint32_t Next();
    // Uniform in [min, max], both included; min > max answers min.
    int Int(int min, int max);
    // Uniform in [min, max], both reachable: 24 random bits spread over the
    // whole closed interval, computed in float.
    float Float(float min, float max);
};
