// The inputs whose result the rules' sine, cosine and friction power compute
// in double too close to a float rounding boundary to round it right, with
// their correctly rounded results. Found by trying every input the
// functions promise to round correctly against GNU MPFR (the rules-math
// proof tool, tools/rules_math_proof); sorted by input for a binary search.
#pragma once

#include <array>
#include <cstdint>

struct FloatHardCase {
    std::uint32_t input;   // bits of |x|
    std::uint32_t result;  // bits of the result for |x|
};

struct PowerHardCase {
    std::uint64_t input;  // bits of the base, then bits of dt
    std::uint32_t result;
};

inline constexpr std::array<FloatHardCase, 0> sinHardCases{};
inline constexpr std::array<FloatHardCase, 2> cosHardCases{{
    {0x5f18b878, 0x3f7f14bb},  // cos(0x1.3170fp+63)
    {0x6115cb11, 0x3f78142f},  // cos(0x1.2b9622p+67)
}};
inline constexpr std::array<PowerHardCase, 1> powHardCases{{
    {0x3d8000003bf3a937ULL, 0x3f7ac6b1},  // pow(0.0625, 0x1.e7526ep-8)
}};
