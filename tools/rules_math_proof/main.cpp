// munchet-rules-math-proof [--exhaustive] [--glibc] [--only sin|cos|power]
//                          [--samples N] [--seed N]
//
// Proves that RulesSin, RulesCos and FrictionPower round correctly. Each
// computes a double and rounds it to float, or takes a hard case from its
// table. Where that double lies farther than 2^-40 of itself from every float
// rounding boundary, it rounds like the exact value does, provided its error
// stays under 2^-40; the sampled run measures that error against MPFR and
// fails unless the largest it sees is 64 times smaller. Everywhere else MPFR
// decides, so a whole sweep costs little more than the functions themselves.
//
// The default, sampled run (what CI runs, in seconds): random inputs checked
// against MPFR one by one, every hard case, a sweep of consecutive inputs,
// and the power's faithful rounding over any exponent. --exhaustive sweeps
// every float for the sine and cosine and every dt in [0.001, 0.1] for both
// friction bases, and prints a table line for each hard case it meets.
// --glibc also counts the inputs where the C library's sinf, cosf and powf
// (the variant chosen for this CPU, or by GLIBC_TUNABLES) differ.
#include <algorithm>
#include <bit>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "game/rules_math.h"
#include "game/rules_math_hard_cases.h"
#include "tools/rules_math_proof/mpfr_reference.h"

namespace {

constexpr double assumedError = 0x1p-40;  // what the sweeps rely on
constexpr double requiredMargin = 64;     // measured error must stay this far below
constexpr float foodFriction = 0.75f;     // game/food.cpp
constexpr float ghostFriction = 0.0625f;  // game/player.cpp
constexpr float shortestFrame = 0.001f, longestFrame = 0.1f;
constexpr int reportLimit = 10;

float (*volatile librarySin)(float) = sinf;
float (*volatile libraryCos)(float) = cosf;
float (*volatile libraryPow)(float, float) = powf;

struct Subject {
    const char* name;
    RulesFunction function;
    float base;  // the power's; unused otherwise
    double approx(float x) const {
        switch (function) {
            case RulesFunction::Sin:
                return RulesSinApprox(x);
            case RulesFunction::Cos:
                return RulesCosApprox(x);
            default:
                return FrictionPowerApprox(base, x);
        }
    }
    float rules(float x) const {
        switch (function) {
            case RulesFunction::Sin:
                return RulesSin(x);
            case RulesFunction::Cos:
                return RulesCos(x);
            default:
                return FrictionPower(base, x);
        }
    }
    float library(float x) const {
        switch (function) {
            case RulesFunction::Sin:
                return librarySin(x);
            case RulesFunction::Cos:
                return libraryCos(x);
            default:
                return libraryPow(base, x);
        }
    }
    float reference(float x, int toward = 0) const { return ReferenceFloat(function, {x, base}, toward); }
};

const Subject subjects[] = {{"sin", RulesFunction::Sin, 0},
                            {"cos", RulesFunction::Cos, 0},
                            {"pow(0.75, dt)", RulesFunction::Power, foodFriction},
                            {"pow(0.0625, dt)", RulesFunction::Power, ghostFriction}};

std::uint32_t Bits(float f) { return std::bit_cast<std::uint32_t>(f); }

// Bit for bit, but any NaN equals any NaN.
bool Same(float a, float b) { return Bits(a) == Bits(b) || (a != a && b != b); }

struct Tally {
    std::uint64_t checked = 0, byMpfr = 0, mismatches = 0, libraryDiffers = 0;
    double largestError = 0;
    std::vector<std::string> hardCases;
};

void ReportMismatch(const Subject& s, float x, float got, float expected, Tally& tally) {
    if (++tally.mismatches <= reportLimit)
        std::printf("  MISMATCH %s(%a = 0x%08" PRIx32 "): 0x%08" PRIx32 ", correctly rounded 0x%08" PRIx32
                    "\n",
                    s.name, static_cast<double>(x), Bits(x), Bits(got), Bits(expected));
}

void NoteHardCase(const Subject& s, float x, float expected, Tally& tally) {
    char line[80];
    if (s.function == RulesFunction::Power)
        std::snprintf(line, sizeof line, "{0x%08" PRIx32 "%08" PRIx32 "ULL, 0x%08" PRIx32 "},", Bits(s.base),
                      Bits(x), Bits(expected));
    else if ((Bits(x) >> 31) == 0)  // the tables hold |x|
        std::snprintf(line, sizeof line, "{0x%08" PRIx32 ", 0x%08" PRIx32 "},", Bits(x), Bits(expected));
    else
        return;
    tally.hardCases.push_back(line);
}

// One input of a sweep: MPFR only where the double is near a boundary.
void Check(const Subject& s, float x, bool compareLibrary, Tally& tally) {
    ++tally.checked;
    const double approx = s.approx(x);
    const double slack = std::fabs(approx) * assumedError;
    float expected = static_cast<float>(approx);
    if (!(static_cast<float>(approx - slack) == static_cast<float>(approx + slack))) {
        ++tally.byMpfr;
        expected = s.reference(x);
        if (!Same(static_cast<float>(approx), expected)) NoteHardCase(s, x, expected, tally);
    }
    const float got = s.rules(x);
    if (!Same(got, expected)) ReportMismatch(s, x, got, expected, tally);
    if (compareLibrary && !Same(s.library(x), expected) && ++tally.libraryDiffers <= reportLimit)
        std::printf("  C library %s(%a = 0x%08" PRIx32 ") = 0x%08" PRIx32 ", correctly rounded 0x%08" PRIx32
                    "\n",
                    s.name, static_cast<double>(x), Bits(x), Bits(s.library(x)), Bits(expected));
}

void Sweep(const Subject& s, std::uint64_t first, std::uint64_t last, bool compareLibrary, Tally& tally) {
    for (std::uint64_t bits = first; bits <= last; ++bits)
        Check(s, std::bit_cast<float>(static_cast<std::uint32_t>(bits)), compareLibrary, tally);
}

// One input checked against MPFR in full, its error measured.
void CheckFully(const Subject& s, float x, Tally& tally) {
    ++tally.checked;
    ++tally.byMpfr;
    const float expected = s.reference(x);
    const float got = s.rules(x);
    if (!Same(got, expected)) ReportMismatch(s, x, got, expected, tally);
    const double error = RelativeError(s.function, {x, s.base}, s.approx(x));
    if (error > tally.largestError) tally.largestError = error;
}

// Outside the frame times the power promises one unit in the last place:
// either float around the exact value.
void CheckFaithful(const Subject& s, float x, Tally& tally) {
    ++tally.checked;
    ++tally.byMpfr;
    const float got = s.rules(x);
    if (!Same(got, s.reference(x, -1)) && !Same(got, s.reference(x, +1)))
        ReportMismatch(s, x, got, s.reference(x), tally);
}

std::uint64_t NextRandom(std::uint64_t& state) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

struct Options {
    bool exhaustive = false, compareLibrary = false;
    std::string only;
    std::uint64_t samples = 200000, seed = 20;
};

void RunExhaustive(const Subject& s, const Options& options, Tally& tally) {
    if (s.function == RulesFunction::Power)
        Sweep(s, Bits(shortestFrame), Bits(longestFrame), options.compareLibrary, tally);
    else
        Sweep(s, 0, 0xffffffffULL, options.compareLibrary, tally);
}

void RunSampled(const Subject& s, const Options& options, Tally& tally) {
    std::uint64_t state = options.seed * 0x9e3779b97f4a7c15ULL + 1;
    const bool power = s.function == RulesFunction::Power;
    const std::uint32_t low = Bits(shortestFrame), span = Bits(longestFrame) - low + 1;
    for (std::uint64_t i = 0; i < options.samples; ++i) {
        const auto bits = static_cast<std::uint32_t>(NextRandom(state));
        CheckFully(s, std::bit_cast<float>(power ? low + bits % span : bits), tally);
        if (power) CheckFaithful(s, std::bit_cast<float>(bits), tally);
    }
    if (power) {
        for (const PowerHardCase& hard : powHardCases)
            if ((hard.input >> 32) == Bits(s.base))
                CheckFully(s, std::bit_cast<float>(static_cast<std::uint32_t>(hard.input)), tally);
    } else {
        const auto& table = s.function == RulesFunction::Sin ? std::span<const FloatHardCase>(sinHardCases)
                                                             : std::span<const FloatHardCase>(cosHardCases);
        for (const FloatHardCase& hard : table) {
            CheckFully(s, std::bit_cast<float>(hard.input), tally);
            CheckFully(s, -std::bit_cast<float>(hard.input), tally);
        }
    }
    // Consecutive inputs from a random start, as the exhaustive run takes them.
    const std::uint64_t run = std::min<std::uint64_t>(options.samples * 20, span / 2);
    const auto start = static_cast<std::uint32_t>(NextRandom(state));
    if (power)
        Sweep(s, low + start % (span - run), low + start % (span - run) + run - 1, options.compareLibrary,
              tally);
    else
        Sweep(s, start, std::min<std::uint64_t>(0xffffffffULL, std::uint64_t{start} + run - 1),
              options.compareLibrary, tally);
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--exhaustive") {
            options.exhaustive = true;
        } else if (arg == "--glibc") {
            options.compareLibrary = true;
        } else if (arg == "--only" && hasValue) {
            options.only = argv[++i];
        } else if (arg == "--samples" && hasValue) {
            options.samples = std::strtoull(argv[++i], nullptr, 10);
        } else if (arg == "--seed" && hasValue) {
            options.seed = std::strtoull(argv[++i], nullptr, 10);
        } else {
            std::fprintf(
                stderr,
                "usage: %s [--exhaustive] [--glibc] [--only sin|cos|power] [--samples N] [--seed N]\n",
                argv[0]);
            return false;
        }
    }
    if (options.samples == 0) options.samples = 1;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) return 2;
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    std::printf("%s run, seed %" PRIu64 ", GLIBC_TUNABLES=%s\n",
                options.exhaustive ? "exhaustive" : "sampled", options.seed, tunables ? tunables : "(unset)");
    bool failed = false;
    for (const Subject& s : subjects) {
        if (!options.only.empty() && std::strncmp(s.name, options.only.c_str(), options.only.size()) != 0)
            continue;
        Tally tally;
        const auto began = std::chrono::steady_clock::now();
        if (options.exhaustive)
            RunExhaustive(s, options, tally);
        else
            RunSampled(s, options, tally);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        std::printf("%s: %" PRIu64 " inputs, %" PRIu64 " decided by MPFR, %" PRIu64 " mismatches", s.name,
                    tally.checked, tally.byMpfr, tally.mismatches);
        if (!options.exhaustive)
            std::printf(", largest relative error 2^%.2f", std::log2(tally.largestError));
        if (options.compareLibrary) std::printf(", C library differs on %" PRIu64, tally.libraryDiffers);
        std::printf(", %.1f s\n", seconds);
        for (const std::string& line : tally.hardCases) std::printf("  hard case %s\n", line.c_str());
        std::fflush(stdout);  // an exhaustive run takes minutes per function
        if (tally.mismatches != 0 || tally.largestError * requiredMargin > assumedError) failed = true;
    }
    std::printf(failed ? "FAILED\n" : "all correctly rounded\n");
    return failed ? 1 : 0;
}
