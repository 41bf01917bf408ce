// libopenmpt and signal helpers for the sound tests.
#pragma once

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace soundtest {

// A string libopenmpt hands out, copied and given back.
inline std::string OpenmptText(const char* text) {
    std::string copy = text ? text : "";
    openmpt_free_string(text);
    return copy;
}

// A module loaded from memory, with every message libopenmpt logged while
// loading it.
struct LoadedModule {
    struct Destroy {
        void operator()(openmpt_module* module) const { openmpt_module_destroy(module); }
    };
    std::unique_ptr<openmpt_module, Destroy> module;
    std::vector<std::string> log;
    std::string error;

    explicit LoadedModule(const std::vector<std::uint8_t>& bytes) {
        int code = 0;
        const char* message = nullptr;
        module.reset(openmpt_module_create_from_memory2(bytes.data(), bytes.size(), &Log, this,
                                                        &openmpt_error_func_store, nullptr, &code, &message,
                                                        nullptr));
        if (message) {
            error = message;
            openmpt_free_string(message);
        }
    }
    openmpt_module* get() const { return module.get(); }
    explicit operator bool() const { return module != nullptr; }

    // Renders up to seconds of mono (the mean of left and right) at rate.
    std::vector<float> RenderMono(double seconds, int rate = 44100) const {
        std::vector<float> out;
        std::vector<float> block(2 * 1024);
        const auto wanted = static_cast<std::size_t>(seconds * rate);
        while (out.size() < wanted) {
            const std::size_t got = openmpt_module_read_interleaved_float_stereo(
                get(), rate, std::min<std::size_t>(1024, wanted - out.size()), block.data());
            if (got == 0) break;
            for (std::size_t i = 0; i < got; ++i) out.push_back(0.5f * (block[2 * i] + block[2 * i + 1]));
        }
        return out;
    }
    // Renders up to seconds of interleaved stereo at rate.
    std::vector<float> RenderStereo(double seconds, int rate = 44100) const {
        std::vector<float> out;
        std::vector<float> block(2 * 1024);
        const auto wanted = static_cast<std::size_t>(seconds * rate) * 2;
        while (out.size() < wanted) {
            const std::size_t got = openmpt_module_read_interleaved_float_stereo(
                get(), rate, std::min<std::size_t>(1024, (wanted - out.size()) / 2), block.data());
            if (got == 0) break;
            out.insert(out.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(2 * got));
        }
        return out;
    }

private:
    static void Log(const char* message, void* user) {
        static_cast<LoadedModule*>(user)->log.emplace_back(message);
    }
};

inline double Rms(const std::vector<float>& signal, std::size_t first = 0, std::size_t count = SIZE_MAX) {
    const std::size_t end =
        count == SIZE_MAX || first + count > signal.size() ? signal.size() : first + count;
    double sum = 0;
    for (std::size_t i = first; i < end; ++i) sum += double(signal[i]) * signal[i];
    return end > first ? std::sqrt(sum / double(end - first)) : 0.0;
}

inline double Peak(const std::vector<float>& signal) {
    double peak = 0;
    for (const float sample : signal) peak = std::max(peak, double(std::fabs(sample)));
    return peak;
}

// Strength of one frequency in the signal (Goertzel), per sample.
inline double Strength(const std::vector<float>& signal, double hz, int rate) {
    const double w = 2 * std::numbers::pi * hz / rate, c = 2 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (const float x : signal) {
        const double s0 = x + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return std::sqrt(s1 * s1 + s2 * s2 - c * s1 * s2) / double(signal.size());
}

// True when hz is stronger in the signal than the pitches a quarter tone,
// a semitone and a whole tone away on both sides: the signal sounds at hz.
inline bool SoundsAt(const std::vector<float>& signal, double hz, int rate) {
    const double at = Strength(signal, hz, rate);
    for (const double semitones : {-2.0, -1.0, -0.5, 0.5, 1.0, 2.0})
        if (Strength(signal, hz * std::pow(2.0, semitones / 12), rate) >= at * 0.5) return false;
    return true;
}

}  // namespace soundtest
