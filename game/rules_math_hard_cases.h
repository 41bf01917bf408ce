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
inline constexpr std::array<FloatHardCase, 0> cosHardCases{};
inline constexpr std::array<PowerHardCase, 0> powHardCases{};
