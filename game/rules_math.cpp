#include "game/rules_math.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <limits>

#include "engine/bit_cast.h"
#include "game/rules_math_hard_cases.h"

namespace {

using u128 = unsigned __int128;

// 2/pi in binary, the first 256 bits after the point: enough to reduce the
// largest float (2^128) with about 100 bits to spare.
constexpr std::uint64_t twoOverPi[4] = {0xa2f9836e4e441529ULL, 0xfc2757d1f534ddc0ULL, 0xdb6295993c439041ULL,
                                        0xfe5163abdebbc561ULL};

// 2^n for n in [-1022, 1023], exactly.
double PowerOfTwo(int n) { return BitCast<double>(static_cast<std::uint64_t>(1023 + n) << 52); }

// x as (quarter + t) quarter turns, |t| <= 1/2: x = (quarter + t) * pi / 2.
struct QuarterTurns {
    unsigned quarter;  // modulo 4
    double t;
};

// For finite |x| >= 2^-12, |x| = m * 2^e: m * 2^e * 2/pi modulo 4, as an
// integer product with the bits of 2/pi that matter (the ones before count
// only in multiples of 4, the ones after below 2^-100).
QuarterTurns ReduceToQuarterTurns(std::uint32_t absBits) {
    const std::uint64_t m = (absBits & 0x7fffffu) | 0x800000u;
    const int e = static_cast<int>(absBits >> 23) - 150;
    const int first = std::max(1, e - 1);  // bits of 2/pi from `first` on
    const int word = (first - 1) / 64, shift = (first - 1) % 64;
    std::uint64_t high = twoOverPi[word], low = twoOverPi[word + 1];
    if (shift != 0) {
        high = (high << shift) | (low >> (64 - shift));
        low = (low << shift) | (twoOverPi[word + 2] >> (64 - shift));
    }
    // m * (high:low), 152 bits: upper * 2^64 + lowest.
    const u128 lowProduct = static_cast<u128>(m) * low;
    const u128 upper = static_cast<u128>(m) * high + (lowProduct >> 64);
    const std::uint64_t lowest = static_cast<std::uint64_t>(lowProduct);
    // Fixed point with 2 integer bits and 126 after the point; for small x
    // the product is scaled down to it.
    const int down = first + 1 - e;
    const u128 fixed = down == 0 ? (upper << 64) | lowest : (upper << (64 - down)) | (lowest >> down);

    const unsigned quarter = static_cast<unsigned>((fixed + (static_cast<u128>(1) << 125)) >> 126) & 3u;
    // The part after the point, taken as signed: [-1/2, 1/2) in units 2^-128.
    const u128 fraction = fixed << 2;
    const bool negative = (fraction >> 127) != 0;
    u128 magnitude = negative ? -fraction : fraction;
    if (magnitude == 0) return {quarter, 0.0};
    const std::uint64_t magHigh = static_cast<std::uint64_t>(magnitude >> 64);
    const int leading = magHigh != 0 ? std::countl_zero(magHigh)
                                     : 64 + std::countl_zero(static_cast<std::uint64_t>(magnitude));
    magnitude <<= leading;
    const std::uint64_t top = static_cast<std::uint64_t>(magnitude >> 64);
    const bool sticky = static_cast<std::uint64_t>(magnitude) != 0;
    // 63 bits and a sticky bit, converted with one rounding.
    const std::int64_t rounded = static_cast<std::int64_t>((top >> 1) | (top & 1) | (sticky ? 1 : 0));
    const double t = static_cast<double>(rounded) * PowerOfTwo(-63 - leading);
    return {quarter, negative ? -t : t};
}

// sin(t * pi / 2) and cos(t * pi / 2) for |t| <= 1/2: Taylor series of
// (pi / 2)^n / n!, cut where the next term is under 2^-60 of the result.
double SinQuarter(double t) {
    const double z = t * t;
    double sum = 0x1.aaec32af93359p-38;
    sum = sum * z + -0x1.6fadb9f155744p-31;
    sum = sum * z + 0x1.e8f434d018d63p-25;
    sum = sum * z + -0x1.e3074fde8871fp-19;
    sum = sum * z + 0x1.50783487ee782p-13;
    sum = sum * z + -0x1.32d2cce62bd86p-8;
    sum = sum * z + 0x1.466bc6775aae2p-4;
    sum = sum * z + -0x1.4abbce625be53p-1;
    sum = sum * z + 0x1.921fb54442d18p+0;
    return t * sum;
}

double CosQuarter(double t) {
    const double z = t * t;
    double sum = -0x1.2a0c591af8314p-41;
    sum = sum * z + 0x1.20c62c2f2d7f5p-34;
    sum = sum * z + -0x1.b6e24f44b128fp-28;
    sum = sum * z + 0x1.f9d38a3763cc3p-22;
    sum = sum * z + -0x1.a6d1f2a204a8cp-16;
    sum = sum * z + 0x1.e1f506891babbp-11;
    sum = sum * z + -0x1.55d3c7e3cbffap-6;
    sum = sum * z + 0x1.03c1f081b5ac4p-2;
    sum = sum * z + -0x1.3bd3cc9be45dep+0;
    return sum * z + 1.0;
}

// sin of (quarter + t) quarter turns.
double SinOfQuarterTurns(unsigned quarter, double t) {
    switch (quarter & 3u) {
        case 0:
            return SinQuarter(t);
        case 1:
            return CosQuarter(t);
        case 2:
            return -SinQuarter(t);
        default:
            return -CosQuarter(t);
    }
}

constexpr std::uint32_t absMask = 0x7fffffffu;
constexpr std::uint32_t infinityBits = 0x7f800000u;
constexpr std::uint32_t belowTiny = 0x39800000u;  // 2^-12

// log2(x) for positive finite x: x = m * 2^e with m in [sqrt(1/2), sqrt(2)),
// log2(m) = 2 / ln 2 * atanh(s) with s = (m - 1) / (m + 1), |s| < 0.172.
double Log2(double x) {
    const std::uint64_t bits = BitCast<std::uint64_t>(x);
    int e = static_cast<int>(bits >> 52) - 1023;
    double m = BitCast<double>((bits & 0xfffffffffffffULL) | 0x3ff0000000000000ULL);
    if (m > 0x1.6a09e667f3bcdp+0) {
        m = m * 0.5;
        e = e + 1;
    }
    const double s = (m - 1.0) / (m + 1.0);
    const double z = s * s;
    double sum = 0x1.1964ec6fc9491p-3;
    sum = sum * z + 0x1.3703c1f4d0ffep-3;
    sum = sum * z + 0x1.5b9ac9b743f0dp-3;
    sum = sum * z + 0x1.89f3b1694cffep-3;
    sum = sum * z + 0x1.c68f568d31760p-3;
    sum = sum * z + 0x1.0c9a84994022dp-2;
    sum = sum * z + 0x1.484b13d7c02a9p-2;
    sum = sum * z + 0x1.a61762a7aded9p-2;
    sum = sum * z + 0x1.2776c50ef9bfep-1;
    sum = sum * z + 0x1.ec709dc3a03fdp-1;
    sum = sum * z + 0x1.71547652b82fep+1;
    return static_cast<double>(e) + s * sum;
}

// 2^p: p = n + f with n an integer and |f| <= 1/2, 2^f = exp(f ln 2) by its
// Taylor series, cut where the next term is under 2^-57.
double Exp2(double p) {
    if (p != p) return p;
    if (p > 129.0) return std::numeric_limits<double>::infinity();
    if (p < -160.0) return 0.0;           // under half the smallest float
    constexpr double shifter = 0x1.8p52;  // adding it rounds to an integer
    const double n = (p + shifter) - shifter;
    const double f = p - n;
    double sum = 0x1.c36e843b04022p-49;
    sum = sum * f + 0x1.314964d5878a9p-44;
    sum = sum * f + 0x1.816193166d0f9p-40;
    sum = sum * f + 0x1.c3bd650fc2986p-36;
    sum = sum * f + 0x1.e8cac7351bb25p-32;
    sum = sum * f + 0x1.e4cf5158b8ecap-28;
    sum = sum * f + 0x1.b5253d395e7c4p-24;
    sum = sum * f + 0x1.62c0223a5c824p-20;
    sum = sum * f + 0x1.ffcbfc588b0c7p-17;
    sum = sum * f + 0x1.430912f86c787p-13;
    sum = sum * f + 0x1.5d87fe78a6731p-10;
    sum = sum * f + 0x1.3b2ab6fba4e77p-7;
    sum = sum * f + 0x1.c6b08d704a0c0p-5;
    sum = sum * f + 0x1.ebfbdff82c58fp-3;
    sum = sum * f + 0x1.62e42fefa39efp-1;
    sum = sum * f + 1.0;
    return sum * PowerOfTwo(static_cast<int>(n));
}

template <typename Case, std::size_t N>
const Case* FindHardCase(const std::array<Case, N>& table, decltype(Case::input) input) {
    const auto found =
        std::lower_bound(table.begin(), table.end(), input,
                         [](const Case& entry, decltype(Case::input) key) { return entry.input < key; });
    return found != table.end() && found->input == input ? &*found : nullptr;
}

}  // namespace

double RulesSinApprox(float x) {
    const std::uint32_t bits = BitCast<std::uint32_t>(x);
    const std::uint32_t absBits = bits & absMask;
    const double xd = x;
    if (absBits >= infinityBits) return xd - xd;
    // Written as a product so that sin(-0) stays -0.
    if (absBits < belowTiny) return xd * (1.0 + (xd * xd) * (-1.0 / 6.0));
    const QuarterTurns turns = ReduceToQuarterTurns(absBits);
    const double magnitude = SinOfQuarterTurns(turns.quarter, turns.t);
    return bits == absBits ? magnitude : -magnitude;
}

double RulesCosApprox(float x) {
    const std::uint32_t absBits = BitCast<std::uint32_t>(x) & absMask;
    const double xd = x;
    if (absBits >= infinityBits) return xd - xd;
    if (absBits < belowTiny) {
        const double z = xd * xd;
        return 1.0 + z * (-0.5 + z * (1.0 / 24.0));
    }
    const QuarterTurns turns = ReduceToQuarterTurns(absBits);
    return SinOfQuarterTurns(turns.quarter + 1, turns.t);
}

double FrictionPowerApprox(float base, float dt) {
    const std::uint32_t baseBits = BitCast<std::uint32_t>(base);
    if (baseBits == 0 || baseBits >= infinityBits) return std::numeric_limits<double>::quiet_NaN();
    if (base == 1.0f) return 1.0;  // even for infinite dt
    return Exp2(Log2(base) * static_cast<double>(dt));
}

float RulesSin(float x) {
    const std::uint32_t bits = BitCast<std::uint32_t>(x);
    if (const auto* hard = FindHardCase(sinHardCases, bits & absMask)) {
        const float magnitude = BitCast<float>(hard->result);
        return (bits & absMask) == bits ? magnitude : -magnitude;
    }
    return static_cast<float>(RulesSinApprox(x));
}

float RulesCos(float x) {
    if (const auto* hard = FindHardCase(cosHardCases, BitCast<std::uint32_t>(x) & absMask))
        return BitCast<float>(hard->result);
    return static_cast<float>(RulesCosApprox(x));
}

float FrictionPower(float base, float dt) {
    const std::uint64_t key =
        (static_cast<std::uint64_t>(BitCast<std::uint32_t>(base)) << 32) | BitCast<std::uint32_t>(dt);
    // Every food item asks for the same power in a frame: remember the last.
    // (The first key is a NaN base, whose power is NaN.)
    thread_local std::uint64_t lastKey = ~std::uint64_t{0};
    thread_local float lastResult = std::numeric_limits<float>::quiet_NaN();
    if (key == lastKey) return lastResult;
    const auto* hard = FindHardCase(powHardCases, key);
    lastResult = hard ? BitCast<float>(hard->result) : static_cast<float>(FrictionPowerApprox(base, dt));
    lastKey = key;
    return lastResult;
}
