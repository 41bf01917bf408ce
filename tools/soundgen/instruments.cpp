#include "tools/soundgen/instruments.h"

#include <algorithm>

#include "tools/soundgen/dsp.h"

namespace instruments {

namespace {

using dsp::Buffer;
using dsp::Exp;
using dsp::Sin;
using dsp::TwoPi;

// One sine partial of a looped sample: exactly cycles periods per loop, so
// the loop joins without a seam whatever the mix.
struct Partial {
    long cycles;
    double amplitude;
    double phase;
};

Buffer Periodic(const std::vector<Partial>& partials, long length) {
    Buffer out(static_cast<std::size_t>(length), 0.0);
    for (const Partial& partial : partials)
        for (long i = 0; i < length; ++i)
            out[static_cast<std::size_t>(i)] +=
                partial.amplitude *
                Sin(TwoPi * static_cast<double>((partial.cycles * i) % length) / static_cast<double>(length) +
                    partial.phase);
    return out;
}

xm::Sample MakeSample(const char* name, const Buffer& signal, double peak) {
    Buffer scaled = signal;
    dsp::Normalise(scaled, peak);
    xm::Sample sample;
    sample.name = name;
    sample.data = dsp::ToPcm16(scaled);
    return sample;
}

xm::Instrument OneSample(const char* name, xm::Sample sample) {
    xm::Instrument instrument;
    instrument.name = name;
    instrument.samples.push_back(std::move(sample));
    return instrument;
}

}  // namespace

xm::Instrument Pad() {
    constexpr double Rate = 22050;
    constexpr long Length = 22050;     // one second
    constexpr long Fundamental = 262;  // cycles per loop: 262 Hz, about middle C
    dsp::Random random(101);
    std::vector<Partial> partials;
    for (long h = 1; h <= 14; ++h) {
        // A saw's 1/h, darkened: the pad sits behind everything else.
        const double amplitude = Exp(-static_cast<double>(h - 1) / 4.5) / static_cast<double>(h);
        // Three voices a few cents apart; each harmonic beats at its own rate.
        for (const long detune : {0L, -1L, 1L})
            partials.push_back({h * (Fundamental + detune), amplitude * (detune == 0 ? 1.0 : 0.8),
                                TwoPi * random.Uniform()});
    }
    xm::Sample sample = MakeSample("nebula pad loop", Periodic(partials, Length), 0.9);
    sample.loop = xm::Loop::Forward;
    sample.loopStart = 0;
    sample.loopLength = Length;
    sample.volume = 64;
    xm::Tune(sample, Rate, Rate * Fundamental / Length, 60);
    xm::Instrument instrument = OneSample("Nebula pad", std::move(sample));
    instrument.volume.points = {{0, 0}, {12, 40}, {30, 64}, {60, 56}};
    instrument.volume.sustain = 3;
    instrument.fadeout = 400;
    instrument.vibratoType = 0;
    instrument.vibratoSweep = 0;
    instrument.vibratoDepth = 2;
    instrument.vibratoRate = 5;
    return instrument;
}

xm::Instrument Bass() {
    constexpr double Rate = 22050;
    constexpr long Period = 200;  // 110.25 Hz, about A2
    constexpr long Attack = 11 * Period;
    constexpr long Loop = 4 * Period;
    Buffer out(static_cast<std::size_t>(Attack + Loop), 0.0);
    const double steady[] = {1.0, 0.35, 0.12, 0.05};
    for (long i = 0; i < Attack + Loop; ++i) {
        const double phase = TwoPi * static_cast<double>(i % Period) / Period;
        // The pluck's extra brightness is gone exactly where the loop starts.
        const double left = std::max(0.0, 1.0 - static_cast<double>(i) / Attack);
        const double pluck = left * left * left;
        double value = 0;
        for (int h = 1; h <= 8; ++h) {
            const double base = h <= 4 ? steady[h - 1] : 0.0;
            value += (base + pluck * 0.3 / h) * Sin(h * phase);
        }
        out[static_cast<std::size_t>(i)] = value;
    }
    xm::Sample sample = MakeSample("orbit bass", out, 0.9);
    sample.loop = xm::Loop::Forward;
    sample.loopStart = Attack;
    sample.loopLength = Loop;
    sample.volume = 64;
    xm::Tune(sample, Rate, Rate / Period, 45);
    xm::Instrument instrument = OneSample("Orbit bass", std::move(sample));
    instrument.volume.points = {{0, 64}, {6, 54}, {20, 42}, {40, 38}};
    instrument.volume.sustain = 3;
    instrument.fadeout = 2048;
    return instrument;
}

xm::Instrument Bell() {
    constexpr double Rate = 32000;
    const double hz = dsp::NoteHz(84);  // C6
    Buffer out(static_cast<std::size_t>(0.75 * Rate), 0.0);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / Rate;
        const double strike = 1 - Exp(-t / 0.001);
        out[i] =
            strike * (Sin(TwoPi * hz * t) * Exp(-t / 0.25) + 0.3 * Sin(TwoPi * 2 * hz * t) * Exp(-t / 0.12) +
                      0.1 * Sin(TwoPi * 3 * hz * t) * Exp(-t / 0.06) +
                      0.15 * Sin(TwoPi * 2.76 * hz * t) * Exp(-t / 0.05) +
                      0.06 * Sin(TwoPi * 5.4 * hz * t) * Exp(-t / 0.02));
    }
    dsp::Fade(out, 0, 0.05, Rate);
    xm::Sample sample = MakeSample("stardust bell", out, 0.9);
    sample.volume = 64;
    sample.panning = 96;
    xm::Tune(sample, Rate, hz, 84);
    return OneSample("Stardust bell", std::move(sample));
}

xm::Instrument Lead() {
    constexpr double Rate = 22050;
    constexpr long Length = 11025;     // half a second
    constexpr long Fundamental = 220;  // cycles per loop: 440 Hz, A4
    dsp::Random random(7);
    std::vector<Partial> partials;
    const double harmonics[] = {1.0, 0.25, 0.18, 0.06, 0.04};
    for (long h = 1; h <= 5; ++h) {
        partials.push_back({h * Fundamental, harmonics[h - 1], TwoPi * random.Uniform()});
        partials.push_back({h * (Fundamental + 1), 0.35 * harmonics[h - 1], TwoPi * random.Uniform()});
    }
    xm::Sample sample = MakeSample("comet lead loop", Periodic(partials, Length), 0.9);
    sample.loop = xm::Loop::Forward;
    sample.loopStart = 0;
    sample.loopLength = Length;
    sample.volume = 64;
    sample.panning = 150;
    xm::Tune(sample, Rate, Rate * Fundamental / Length, 69);
    xm::Instrument instrument = OneSample("Comet lead", std::move(sample));
    instrument.volume.points = {{0, 0}, {4, 64}, {14, 50}};
    instrument.volume.sustain = 2;
    instrument.fadeout = 1536;
    instrument.vibratoType = 0;
    instrument.vibratoSweep = 48;
    instrument.vibratoDepth = 5;
    instrument.vibratoRate = 10;
    return instrument;
}

xm::Instrument Kick() {
    constexpr double Rate = 22050;
    Buffer out(static_cast<std::size_t>(0.28 * Rate), 0.0);
    dsp::Oscillator body;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / Rate;
        out[i] = body.Sine(48 + 90 * Exp(-t / 0.03), Rate) * (1 - Exp(-t / 0.001)) * Exp(-t / 0.09);
    }
    dsp::Fade(out, 0, 0.03, Rate);
    xm::Sample sample = MakeSample("soft kick", out, 0.9);
    sample.volume = 64;
    // Played at C-4 at its own rate.
    xm::Tune(sample, Rate, dsp::NoteHz(60), 60);
    return OneSample("Soft kick", std::move(sample));
}

xm::Instrument Shaker() {
    constexpr double Rate = 44100;
    Buffer out(static_cast<std::size_t>(0.07 * Rate), 0.0);
    dsp::Random random(3);
    dsp::StateVariable air;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / Rate;
        out[i] = air.Band(random.Noise(), 7000, 0.9, Rate) * (1 - Exp(-t / 0.004)) * Exp(-t / 0.015);
    }
    dsp::Fade(out, 0, 0.01, Rate);
    xm::Sample sample = MakeSample("dust shaker", out, 0.9);
    sample.volume = 64;
    sample.panning = 170;
    xm::Tune(sample, Rate, dsp::NoteHz(60), 60);
    return OneSample("Dust shaker", std::move(sample));
}

}  // namespace instruments
