#include "tools/soundgen/dsp.h"

#include <algorithm>
#include <cmath>

namespace dsp {

namespace {

// sin on [-pi/2, pi/2] by its Taylor series (error below 1e-12).
double SinKernel(double x) {
    const double x2 = x * x;
    double term = x, sum = x;
    for (int n = 1; n <= 9; ++n) {
        term *= -x2 / ((2.0 * n) * (2.0 * n + 1.0));
        sum += term;
    }
    return sum;
}

}  // namespace

double Sin(double x) {
    // Into [-pi, pi], then mirror into [-pi/2, pi/2].
    double r = x - std::floor(x / TwoPi + 0.5) * TwoPi;
    if (r > Pi / 2) r = Pi - r;
    if (r < -Pi / 2) r = -Pi - r;
    return SinKernel(r);
}

double Cos(double x) { return Sin(x + Pi / 2); }

double Exp2(double x) {
    if (x > 1000) x = 1000;
    if (x < -1000) return 0;
    const double whole = std::floor(x);
    const double t = (x - whole) * 0.69314718055994530942;  // ln 2, t in [0, 0.7)
    double term = 1, sum = 1;
    for (int n = 1; n <= 18; ++n) {
        term *= t / n;
        sum += term;
    }
    return std::ldexp(sum, static_cast<int>(whole));
}

double Exp(double x) { return Exp2(x * 1.44269504088896340736); }

double Log2(double x) {
    int exponent = 0;
    const double m = std::frexp(x, &exponent);  // x = m · 2^exponent, m in [0.5, 1)
    // ln m = 2 atanh(z), z = (m − 1)/(m + 1), |z| <= 1/3.
    const double z = (m - 1) / (m + 1), z2 = z * z;
    double power = z, sum = 0;
    for (int n = 1; n <= 41; n += 2) {
        sum += power / n;
        power *= z2;
    }
    return exponent + 2 * sum * 1.44269504088896340736;
}

double Tanh(double x) {
    if (x > 20) return 1;
    if (x < -20) return -1;
    const double e = Exp(2 * x);
    return (e - 1) / (e + 1);
}

double NoteHz(double midi) { return 440.0 * Exp2((midi - 69) / 12); }

std::uint64_t Random::Next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1Dull;
}

double Random::Uniform() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }
double Random::Noise() { return Uniform() * 2 - 1; }

double Oscillator::Sine(double hz, double sampleRate) {
    const double value = Sin(phase);
    Advance(hz, sampleRate);
    return value;
}

double Oscillator::Advance(double hz, double sampleRate) {
    phase += TwoPi * hz / sampleRate;
    if (phase > TwoPi * 1024) phase -= TwoPi * 1024;
    return phase;
}

double OnePole::Process(double input, double cutoffHz, double sampleRate) {
    const double a = 1 - Exp(-TwoPi * cutoffHz / sampleRate);
    state += a * (input - state);
    return state;
}

double StateVariable::Band(double input, double cutoffHz, double damping, double sampleRate) {
    const double f = 2 * Sin(Pi * std::min(cutoffHz, sampleRate / 6) / sampleRate);
    low += f * band;
    const double high = input - low - damping * band;
    band += f * high;
    return band;
}

double StateVariable::Low(double input, double cutoffHz, double damping, double sampleRate) {
    Band(input, cutoffHz, damping, sampleRate);
    return low;
}

void HighPass(Buffer& buffer, double hz, double sampleRate) {
    OnePole low;
    for (double& sample : buffer) sample -= low.Process(sample, hz, sampleRate);
}

void Fade(Buffer& buffer, double inSeconds, double outSeconds, double sampleRate) {
    const auto in = static_cast<std::size_t>(inSeconds * sampleRate);
    const auto out = static_cast<std::size_t>(outSeconds * sampleRate);
    const std::size_t n = buffer.size();
    for (std::size_t i = 0; i < in && i < n; ++i) buffer[i] *= static_cast<double>(i) / in;
    for (std::size_t i = 0; i < out && i < n; ++i) buffer[n - 1 - i] *= static_cast<double>(i) / out;
}

double Peak(const Buffer& buffer) {
    double peak = 0;
    for (const double sample : buffer) peak = std::max(peak, std::fabs(sample));
    return peak;
}

double Rms(const Buffer& buffer) {
    double sum = 0;
    for (const double sample : buffer) sum += sample * sample;
    return buffer.empty() ? 0 : std::sqrt(sum / static_cast<double>(buffer.size()));
}

void Normalise(Buffer& buffer, double peak) {
    const double current = Peak(buffer);
    if (current <= 0) return;
    for (double& sample : buffer) sample *= peak / current;
}

void MixInto(Buffer& target, const Buffer& source, std::size_t offset, double gain) {
    if (target.size() < offset + source.size()) target.resize(offset + source.size(), 0.0);
    for (std::size_t i = 0; i < source.size(); ++i) target[offset + i] += source[i] * gain;
}

std::vector<std::int16_t> ToPcm16(const Buffer& buffer) {
    std::vector<std::int16_t> pcm(buffer.size());
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        const double scaled = std::clamp(buffer[i] * 32767.0, -32768.0, 32767.0);
        // Round half away from zero, by hand: the same on every machine.
        pcm[i] =
            static_cast<std::int16_t>(scaled < 0 ? -std::floor(-scaled + 0.5) : std::floor(scaled + 0.5));
    }
    return pcm;
}

}  // namespace dsp
