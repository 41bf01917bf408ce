// Sound files decoded whole into 16-bit PCM, the form OpenAL buffers take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Decoded sound: interleaved 16-bit samples.
struct PcmSound {
    int channels = 0;                   // 1 mono, 2 stereo, ...
    int sampleRate = 0;                 // frames per second
    std::vector<std::int16_t> samples;  // frames × channels, interleaved

    std::size_t Frames() const {
        return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0;
    }
    // Length at pitch 1, seconds.
    double Seconds() const { return sampleRate > 0 ? static_cast<double>(Frames()) / sampleRate : 0.0; }
};

// Longest sound accepted, seconds: effects are decoded whole into memory.
inline constexpr double MaxSoundSeconds = 600.0;

// Reads a WAV, OGG Vorbis (or any other libsndfile format) file. False, with a
// reason in error, when the file is missing, not a sound, empty or too long.
bool DecodeSoundFile(const char* path, PcmSound& out, std::string& error);

// Folds every channel into one (their mean), so that the sound can be panned.
void DownmixToMono(PcmSound& sound);
