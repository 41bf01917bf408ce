// Sound files and measurements for the audio tests.
#pragma once

#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/headless.h"
#include "engine/sdl/sdl_platform.h"

namespace audiotest {

// A fresh directory under the system's temporary directory, one per process:
// ctest runs the tests of one fixture side by side.
// They are removed when the process ends.
inline std::filesystem::path FreshDir(const std::string& name) {
    struct MadeDirs {
        std::vector<std::filesystem::path> paths;
        ~MadeDirs() {
            std::error_code ignored;
            for (const auto& path : paths) std::filesystem::remove_all(path, ignored);
        }
    };
    static MadeDirs made;
    const auto dir =
        std::filesystem::temp_directory_path() / ("munchet_" + name + "_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    made.paths.push_back(dir);
    return dir;
}

// frames × channels samples of a sine at frequency Hz, the same in every
// channel, peak amplitude 0..1.
inline std::vector<std::int16_t> Sine(double frequency, double seconds, int rate, double amplitude,
                                      int channels = 1) {
    const auto frames = static_cast<std::size_t>(seconds * rate);
    std::vector<std::int16_t> samples;
    for (std::size_t i = 0; i < frames; ++i) {
        const double v =
            amplitude * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) / rate);
        for (int c = 0; c < channels; ++c)
            samples.push_back(static_cast<std::int16_t>(std::lround(v * 32767)));
    }
    return samples;
}

// Writes a sound file with libsndfile (format e.g. SF_FORMAT_WAV | SF_FORMAT_PCM_16).
inline bool WriteSound(const std::filesystem::path& path, int format, int rate, int channels,
                       const std::vector<std::int16_t>& samples) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    const sf_count_t frames = static_cast<sf_count_t>(samples.size()) / channels;
    const bool ok = sf_writef_short(file, samples.data(), frames) == frames;
    sf_close(file);
    return ok;
}

inline void WriteText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Root mean square of one channel (0 left, 1 right) of interleaved stereo.
inline double Rms(const std::vector<float>& stereo, int channel, std::size_t firstFrame = 0,
                  std::size_t frames = SIZE_MAX) {
    const std::size_t total = stereo.size() / 2;
    const std::size_t end = frames == SIZE_MAX || firstFrame + frames > total ? total : firstFrame + frames;
    double sum = 0;
    for (std::size_t i = firstFrame; i < end; ++i)
        sum += double(stereo[i * 2 + channel]) * stereo[i * 2 + channel];
    return end > firstFrame ? std::sqrt(sum / double(end - firstFrame)) : 0.0;
}

// Upward zero crossings of one channel of interleaved stereo.
inline int ZeroCrossings(const std::vector<float>& stereo, int channel) {
    int count = 0;
    for (std::size_t i = 1; i < stereo.size() / 2; ++i)
        if (stereo[(i - 1) * 2 + channel] < 0 && stereo[i * 2 + channel] >= 0) ++count;
    return count;
}

// A headless engine, initiated, shut down and released however the test ends.
struct HeadlessEngine {
    Engine* engine = hgeCreate(EngineVersion);
    bool initiated = false;

    explicit HeadlessEngine(const HeadlessOptions& options) {
        engine->System_SetPlatform(SdlPlatform);
        engine->Headless_Enable(options);
        engine->System_SetState(StateLogFile, "");
        initiated = engine->System_Initiate();
    }
    ~HeadlessEngine() {
        engine->System_Shutdown();
        engine->Release();
    }
    HeadlessEngine(const HeadlessEngine&) = delete;
    HeadlessEngine& operator=(const HeadlessEngine&) = delete;
    Engine* operator->() const { return engine; }
};

}  // namespace audiotest
