#include "engine/sdl/audio_decode.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>

namespace {

std::int16_t ToPcm16(float value) {
    // Vorbis can decode slightly past full scale; clamp instead of wrapping.
    const float scaled = std::nearbyint(value * 32768.0f);
    return static_cast<std::int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

}  // namespace

bool DecodeSoundFile(const char* path, PcmSound& out, std::string& error) {
    out = PcmSound{};
    SF_INFO info{};
    SNDFILE* file = sf_open(path, SFM_READ, &info);
    if (!file) {
        error = sf_strerror(nullptr);
        return false;
    }
    bool ok = false;
    if (info.channels < 1 || info.channels > 8 || info.samplerate < 1000 || info.samplerate > 384000) {
        error = "unsupported channel count or sample rate";
    } else if (info.frames <= 0) {
        error = "no audio in the file";
    } else if (static_cast<double>(info.frames) / info.samplerate > MaxSoundSeconds) {
        error = "sound too long";
    } else {
        // Read as float: libsndfile scales every format to ±1, so 16-bit files
        // come back bit-exact after the conversion below.
        std::vector<float> block(4096 * static_cast<std::size_t>(info.channels));
        out.channels = info.channels;
        out.sampleRate = info.samplerate;
        out.samples.reserve(static_cast<std::size_t>(info.frames) * static_cast<std::size_t>(info.channels));
        sf_count_t got = 0;
        while ((got = sf_readf_float(file, block.data(), 4096)) > 0)
            for (sf_count_t i = 0; i < got * info.channels; ++i)
                out.samples.push_back(ToPcm16(block[static_cast<std::size_t>(i)]));
        if (sf_error(file) != SF_ERR_NO_ERROR) {
            error = sf_strerror(file);
        } else if (out.samples.empty()) {
            error = "no audio in the file";
        } else {
            ok = true;
        }
    }
    sf_close(file);
    if (!ok) out = PcmSound{};
    return ok;
}

void DownmixToMono(PcmSound& sound) {
    if (sound.channels <= 1) return;
    const std::size_t frames = sound.Frames();
    const auto channels = static_cast<std::size_t>(sound.channels);
    std::vector<std::int16_t> mono(frames);
    for (std::size_t f = 0; f < frames; ++f) {
        int sum = 0;
        for (std::size_t c = 0; c < channels; ++c) sum += sound.samples[f * channels + c];
        mono[f] = static_cast<std::int16_t>(sum / static_cast<int>(channels));
    }
    sound.samples = std::move(mono);
    sound.channels = 1;
}
