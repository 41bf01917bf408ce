// The edges IEEE-754 fixes for the rules' own functions; that every other
// input rounds correctly is proven against MPFR by munchet-rules-math-proof.
#include "game/rules_math.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>

namespace {

constexpr float infinity = std::numeric_limits<float>::infinity();
constexpr float nan = std::numeric_limits<float>::quiet_NaN();

struct Edge {
    const char* name;
    float got;
    float expected;  // compared bit for bit; any NaN matches any NaN
};

void PrintTo(const Edge& edge, std::ostream* os) { *os << edge.name; }

class RulesMathEdge : public ::testing::TestWithParam<Edge> {};

TEST_P(RulesMathEdge, IsWhatIeee754Says) {
    const Edge& edge = GetParam();
    if (edge.expected != edge.expected)
        EXPECT_NE(edge.got, edge.got);
    else
        EXPECT_EQ(std::bit_cast<std::uint32_t>(edge.got), std::bit_cast<std::uint32_t>(edge.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Functions, RulesMathEdge,
    ::testing::Values(Edge{"sinOfZero", RulesSin(0.0f), 0.0f}, Edge{"sinOfMinusZero", RulesSin(-0.0f), -0.0f},
                      Edge{"sinOfInfinity", RulesSin(infinity), nan}, Edge{"sinOfNaN", RulesSin(nan), nan},
                      Edge{"cosOfMinusZero", RulesCos(-0.0f), 1.0f},
                      Edge{"cosOfInfinity", RulesCos(-infinity), nan},
                      Edge{"cosOfLargestFloat", RulesCos(std::numeric_limits<float>::max()), 0x1.b4bf2cp-1f},
                      Edge{"powerOfNoTime", FrictionPower(0.75f, 0.0f), 1.0f},
                      Edge{"powerOfOne", FrictionPower(1.0f, infinity), 1.0f},
                      Edge{"powerExact", FrictionPower(0.0625f, 0.25f), 0.5f},
                      Edge{"powerForever", FrictionPower(0.75f, infinity), 0.0f},
                      Edge{"powerOfNaN", FrictionPower(0.75f, nan), nan},
                      Edge{"powerOfZeroBase", FrictionPower(0.0f, 0.01f), nan},
                      Edge{"powerOfNegativeBase", FrictionPower(-0.75f, 0.01f), nan}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
