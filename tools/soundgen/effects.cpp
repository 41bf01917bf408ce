#include "tools/soundgen/effects.h"

#include <algorithm>

namespace effects {

namespace {

using dsp::Buffer;
using dsp::Exp;
using dsp::Sin;
using dsp::TwoPi;

constexpr double Rate = EffectRate;

Buffer Silence(double seconds) { return Buffer(static_cast<std::size_t>(seconds * Rate), 0.0); }

// Every effect ends the same way: no offset, no click at either end, and the
// agreed peak.
Buffer Finish(Buffer buffer, double fadeIn, double fadeOut, double peak) {
    dsp::HighPass(buffer, 25, Rate);
    dsp::Fade(buffer, fadeIn, fadeOut, Rate);
    dsp::Normalise(buffer, peak);
    return buffer;
}

// A struck, quickly fading tone with a touch of octave and of a bell's
// inharmonic partial.
void Ping(Buffer& out, double start, double hz, double decay, double gain) {
    const auto first = static_cast<std::size_t>(start * Rate);
    for (std::size_t i = first; i < out.size(); ++i) {
        const double t = static_cast<double>(i - first) / Rate;
        const double envelope = (1 - Exp(-t / 0.0015)) * Exp(-t / decay);
        const double tone = Sin(TwoPi * hz * t) + 0.22 * Sin(TwoPi * 2 * hz * t) * Exp(-t / (decay * 0.4)) +
                            0.1 * Sin(TwoPi * 2.76 * hz * t) * Exp(-t / (decay * 0.25));
        out[i] += gain * envelope * tone;
    }
}

}  // namespace

Buffer EnergyPulse() {
    Buffer out = Silence(0.34);
    dsp::Oscillator carrier, modulator, sub;
    dsp::Random random(11);
    dsp::StateVariable crackle;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / Rate;
        // A quick upward charge into a tone that sinks a little as it fades.
        const double hz = (220 - 75 * Exp(-t / 0.012)) * (1 - 0.1 * t / 0.34);
        const double index = 0.5 + 2.0 * Exp(-t / 0.05);  // brightness fades first
        const double m = modulator.Sine(2 * hz, Rate);
        const double tone = Sin(carrier.phase + index * m);
        carrier.Advance(hz, Rate);
        const double body = 0.45 * sub.Sine(hz / 2, Rate);
        const double envelope = (1 - Exp(-t / 0.004)) * Exp(-t / 0.085);
        const double flutter = 1 - 0.22 * (0.5 + 0.5 * Sin(TwoPi * 31 * t));
        const double spark = 0.5 * crackle.Band(random.Noise(), 3200, 0.6, Rate) * Exp(-t / 0.025);
        out[i] = (0.7 * tone + body) * envelope * flutter + spark;
    }
    return Finish(std::move(out), 0.001, 0.03, 0.42);
}

Buffer MunchetEaten() {
    Buffer out = Silence(0.34);
    dsp::Oscillator gulp;
    dsp::OnePole soften;
    for (std::size_t i = 0; i < out.size() && i < static_cast<std::size_t>(0.18 * Rate); ++i) {
        const double t = static_cast<double>(i) / Rate;
        const double hz = 170 * dsp::Exp2(2.1 * t / 0.16);  // two octaves up
        const double p = gulp.phase;
        gulp.Advance(hz, Rate);
        const double squareish = Sin(p) + Sin(3 * p) / 3 + Sin(5 * p) / 5 + Sin(7 * p) / 7;
        const double munch = 0.55 + 0.45 * Sin(TwoPi * 26 * t - dsp::Pi / 2);
        const double envelope = (1 - Exp(-t / 0.003)) * (t < 0.13 ? 1.0 : Exp(-(t - 0.13) / 0.012));
        out[i] = soften.Process(squareish * munch * envelope, 2500, Rate);
    }
    Ping(out, 0.15, 1760.0, 0.05, 0.55);
    Ping(out, 0.205, 2637.0, 0.06, 0.45);
    return Finish(std::move(out), 0.001, 0.02, 0.45);
}

Buffer FoodEaten() {
    Buffer out = Silence(0.09);
    dsp::Oscillator nom;
    dsp::Random random(5);
    dsp::OnePole dull, clickTone;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / Rate;
        const double hz = 300 + 480 * Exp(-t / 0.011);
        const double p = nom.phase;
        nom.Advance(hz, Rate);
        const double envelope = (1 - Exp(-t / 0.0015)) * Exp(-t / 0.02);
        const double click = 0.25 * clickTone.Process(random.Noise(), 1800, Rate) * Exp(-t / 0.004);
        out[i] = dull.Process((Sin(p) + 0.2 * Sin(2 * p)) * envelope + click, 3000, Rate);
    }
    return Finish(std::move(out), 0.0005, 0.015, 0.2);
}

Buffer Dead() {
    Buffer out = Silence(1.7);
    // G4, F#4, F4, E4: one semitone down at a time.
    const double starts[] = {0.0, 0.22, 0.44, 0.66};
    const double notes[] = {67, 66, 65, 64};
    dsp::Oscillator horn, thud;
    dsp::StateVariable mute;
    double hz = dsp::NoteHz(notes[0]);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / Rate;
        int note = 0;
        while (note < 3 && t >= starts[note + 1]) ++note;
        const double since = t - starts[note];
        double target = dsp::NoteHz(notes[note]);
        double level = 1.0;
        if (note == 3) {
            // The last note sags by two semitones, wobbles more and more and dies away.
            const double sag = since > 0.25 ? std::min(1.0, (since - 0.25) / 0.7) : 0.0;
            const double depth = 0.1 + 0.4 * std::min(1.0, since / 0.6);  // semitones
            target *= dsp::Exp2((-2 * sag + depth * Sin(TwoPi * 5.5 * since)) / 12);
            level = since < 0.35 ? 1.0 : Exp(-(since - 0.35) / 0.28);
        }
        hz += (target - hz) * 0.004;  // a short glide between notes
        const double p = horn.phase;
        horn.Advance(hz, Rate);
        double saw = 0;
        for (int h = 1; h <= 8; ++h) saw += Sin(h * p) / h;
        // Each note is tongued: a dip, then the mute opens and closes again.
        const double attack = 1 - 0.7 * Exp(-since / 0.02);
        const double wah = 500 + 1500 * Exp(-since / 0.09) * (1 - Exp(-since / 0.015));
        const double brass = mute.Low(saw * attack * level, wah, 0.7, Rate);
        const double low =
            0.8 * thud.Sine(62 - 20 * std::min(1.0, t / 0.3), Rate) * (1 - Exp(-t / 0.003)) * Exp(-t / 0.16);
        out[i] = brass + low;
    }
    return Finish(std::move(out), 0.002, 0.08, 0.48);
}

Buffer NextLevel() {
    Buffer out = Silence(1.4);
    // C5, E5 and G5 stay on as a chord under the high C.
    const double starts[] = {0.0, 0.1, 0.2, 0.3};
    const double notes[] = {72, 76, 79, 84};
    const double gains[] = {0.7, 0.7, 0.7, 1.0};
    for (int n = 0; n < 4; ++n) {
        const auto first = static_cast<std::size_t>(starts[n] * Rate);
        const double hz = dsp::NoteHz(notes[n]);
        dsp::Oscillator oscillator;
        for (std::size_t i = first; i < out.size(); ++i) {
            const double t = static_cast<double>(i - first) / Rate;
            const double vibrato = n == 3 ? 1 + 0.003 * Sin(TwoPi * 6 * t) * (1 - Exp(-t / 0.3)) : 1.0;
            const double p = oscillator.phase;
            oscillator.Advance(hz * vibrato, Rate);
            const double tone = Sin(p) + 0.5 * Sin(2 * p) + 0.28 * Sin(3 * p) + 0.12 * Sin(4 * p);
            const double envelope =
                (1 - Exp(-t / 0.005)) * (0.45 + 0.55 * Exp(-t / 0.12)) * Exp(-t / (n == 3 ? 0.9 : 0.6));
            out[i] += gains[n] * tone * envelope;
        }
    }
    return Finish(std::move(out), 0.001, 0.25, 0.48);
}

Buffer Saved() {
    Buffer out = Silence(0.32);
    Ping(out, 0.0, 1318.5, 0.07, 0.8);   // E6
    Ping(out, 0.06, 1975.5, 0.09, 1.0);  // B6
    return Finish(std::move(out), 0.0005, 0.03, 0.32);
}

}  // namespace effects
