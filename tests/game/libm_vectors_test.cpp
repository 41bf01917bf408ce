// The rules' three transcendental functions: the friction power over a frame,
// and the sine and cosine of a munchet's stride. A replay recorded on one
// machine verifies on another only if they agree bit for bit; these vectors
// pin their results over the inputs the rules give them, so a build that
// differs is caught here rather than by a replay that stops verifying. (The
// eight values are those glibc gave when the rules called it; its results
// differed from the correctly rounded ones on about 1 % of the swept
// headings and 0.07 % of the frame times, which moved the hashes.)
#include <gtest/gtest.h>

#include <bit>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "game/rules_math.h"

namespace {

// Read through a volatile, so the inputs are computed at run time as the
// rules compute theirs.
float Opaque(float value) {
    volatile float through = value;
    return through;
}

struct Function {
    const char* name;
    float (*call)(float);
    float first, step;  // the inputs: first + i * step
    // Results for i = 0, 2500, ..., 17500, as bits, and a hash over i = 0..19999.
    std::uint32_t results[8];
    std::uint64_t sweepHash;
};

void PrintTo(const Function& f, std::ostream* os) { *os << f.name; }

float FoodFriction(float dt) { return FrictionPower(Opaque(0.75f), dt); }
float GhostFriction(float dt) { return FrictionPower(Opaque(0.0625f), dt); }
float Sine(float heading) { return RulesSin(heading); }
float Cosine(float heading) { return RulesCos(heading); }

class RulesFunction : public ::testing::TestWithParam<Function> {};

TEST_P(RulesFunction, GivesThePinnedBits) {
    const Function& f = GetParam();
    const auto input = [&f](int i) { return Opaque(f.first + static_cast<float>(i) * f.step); };
    std::vector<std::uint32_t> results;
    for (int i = 0; i < 8; ++i) results.push_back(std::bit_cast<std::uint32_t>(f.call(input(i * 2500))));
    std::uint64_t hash = 1469598103934665603ULL;
    for (int i = 0; i < 20000; ++i) {
        const std::uint32_t bits = std::bit_cast<std::uint32_t>(f.call(input(i)));
        for (int shift = 0; shift < 32; shift += 8)
            hash = (hash ^ ((bits >> shift) & 0xFF)) * 1099511628211ULL;
    }
    EXPECT_EQ(results, std::vector<std::uint32_t>(std::begin(f.results), std::end(f.results)));
    EXPECT_EQ(hash, f.sweepHash);
    if (HasFailure()) {
        std::printf("%s: {", f.name);
        for (std::uint32_t r : results) std::printf("0x%08" PRIx32 ", ", r);
        std::printf("}, 0x%016" PRIx64 "ULL\n", hash);
    }
}

// Frame times from 1 ms to 0.1 s in steps of about 5 us; headings (never
// wrapped: they wander far from 0 in a long game) from -300 to 300 rad.
INSTANTIATE_TEST_SUITE_P(Rules, RulesFunction,
                         ::testing::Values(Function{"powFood",
                                                    FoodFriction,
                                                    0.001f,
                                                    0.00000495f,
                                                    {0x3f7fed26, 0x3f7f0452, 0x3f7e1c51, 0x3f7d3523,
                                                     0x3f7c4ec8, 0x3f7b693e, 0x3f7a8485, 0x3f79a09c},
                                                    0xa5ce02b7155b089bULL},
                                           Function{"powGhost",
                                                    GhostFriction,
                                                    0.001f,
                                                    0.00000495f,
                                                    {0x3f7f4a8c, 0x3f76ae37, 0x3f6e5c3b, 0x3f665217,
                                                     0x3f5e8d5e, 0x3f570bb8, 0x3f4fcae3, 0x3f48c8b0},
                                                    0xa5c13b42b25915f6ULL},
                                           Function{"sin",
                                                    Sine,
                                                    -300.0f,
                                                    0.0300013f,
                                                    {0x3f7ff000, 0x3f6e689d, 0x3f382b08, 0x3ecb22e1,
                                                     0x3c54fe77, 0xbebedb37, 0xbf337ba6, 0xbf6be6e9},
                                                    0xa029b08bd0088c2dULL},
                                           Function{"cos",
                                                    Cosine,
                                                    -300.0f,
                                                    0.0300013f,
                                                    {0xbcb503f8, 0x3eba84cf, 0x3f31d099, 0x3f6afd3b,
                                                     0x3f7ffa76, 0x3f6d8c83, 0x3f368af1, 0x3ec6dbf9},
                                                    0x580bd62d6df11bb3ULL}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
