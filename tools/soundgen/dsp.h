// The generator's signal toolkit. Everything is computed with +, −, ×, ÷ and
// sqrt on doubles in a fixed order (no libm transcendental functions, which
// differ in their last bits between C libraries), so the same source makes
// the same sample values on every machine and the committed files can be
// checked byte for byte.
#pragma once

#include <cstdint>
#include <vector>

namespace dsp {

inline constexpr double Pi = 3.14159265358979323846;
inline constexpr double TwoPi = 2 * Pi;

double Sin(double x);
double Cos(double x);
double Exp2(double x);
double Exp(double x);
double Log2(double x);  // x > 0
double Tanh(double x);
// Frequency in Hz of a MIDI note (69 = A4 = 440 Hz; 60 = middle C).
double NoteHz(double midi);

// A small deterministic random source (xorshift64*).
struct Random {
    std::uint64_t state;
    explicit Random(std::uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}
    std::uint64_t Next();
    double Uniform();  // [0, 1)
    double Noise();    // [-1, 1)
};

// A sine oscillator whose frequency may change every sample.
struct Oscillator {
    double phase = 0;  // radians
    // One sample at frequency hz for a rate of sampleRate.
    double Sine(double hz, double sampleRate);
    // Advances without producing (for phase-modulated uses).
    double Advance(double hz, double sampleRate);
};

// One-pole low-pass filter.
struct OnePole {
    double state = 0;
    double Process(double input, double cutoffHz, double sampleRate);
};

// State-variable filter (Chamberlin), band-pass and low-pass outputs.
struct StateVariable {
    double low = 0, band = 0;
    // resonance damping 0.1 (sharp) .. 2 (soft). Returns the band-pass output.
    double Band(double input, double cutoffHz, double damping, double sampleRate);
    double Low(double input, double cutoffHz, double damping, double sampleRate);
};

// Sound buffer helpers (mono, samples as doubles around ±1).
using Buffer = std::vector<double>;

// Removes a slow offset (a one-pole high-pass around hz).
void HighPass(Buffer& buffer, double hz, double sampleRate);
// Linear fade-in over the first and fade-out over the last seconds.
void Fade(Buffer& buffer, double inSeconds, double outSeconds, double sampleRate);
double Peak(const Buffer& buffer);
double Rms(const Buffer& buffer);
// Scales the buffer so that its peak is peak.
void Normalise(Buffer& buffer, double peak);
// Adds source into target from sample offset on, growing target if needed.
void MixInto(Buffer& target, const Buffer& source, std::size_t offset, double gain = 1.0);
// Rounds to 16-bit, clamping at full scale.
std::vector<std::int16_t> ToPcm16(const Buffer& buffer);

}  // namespace dsp
