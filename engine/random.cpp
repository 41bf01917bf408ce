#include "engine/random.h"

void RandomGenerator::Seed(std::uint32_t seed) {
    state = 0;
    increment = (static_cast<std::uint64_t>(seed) << 1u) | 1u;
    Next();
    state += 0x853c49e6748fea9bULL ^ seed;
    Next();
}

std::uint32_t RandomGenerator::Next() {
    const std::uint64_t old = state;
    state = old * 6364136223846793005ULL + increment;
    const auto xorshifted = static_cast<std::uint32_t>(((old >> 18u) ^ old) >> 27u);
    const auto rot = static_cast<std::uint32_t>(old >> 59u);
    return (xorshifted >> rot) | (xorshifted << ((-rot) & 31u));
}

int RandomGenerator::Int(int min, int max) {
    if (min >= max) return min;
    const std::uint64_t range = static_cast<std::uint64_t>(static_cast<std::int64_t>(max) - min) + 1;
    // Rejection keeps every value equally likely.
    const std::uint64_t limit = (std::uint64_t{1} << 32) - ((std::uint64_t{1} << 32) % range);
    std::uint64_t draw;
    do {
        draw = Next();
    } while (draw >= limit);
    return static_cast<int>(min + static_cast<std::int64_t>(draw % range));
}

float RandomGenerator::Float(float min, float max) {
    const float unit = static_cast<float>(Next() >> 8) / 16777215.0f;  // 0 and 1 both reachable
    const float value = min + (max - min) * unit;
    // Rounding must never step outside the interval.
    if (value < min) return min;
    if (value > max) return max;
    return value;
}
