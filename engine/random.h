#pragma once

#include <cstdint>

// The engine's one random generator: PCG32 (O'Neill), chosen because it is
// small, fast and gives the same sequence on every machine and compiler.
struct RandomGenerator {
    std::uint64_t state = 0x853c49e6748fea9bULL;
    std::uint64_t increment = 0xda3e39cb94b95bdbULL;

    void Seed(std::uint32_t seed);
    std::uint32_t Next();
    // Uniform in [min, max], both included; min > max answers min.
    int Int(int min, int max);
    // Uniform in [min, max], both reachable: 24 random bits spread over the
    // whole closed interval, computed in float.
    float Float(float min, float max);
};
