#include "tools/soundgen/soundgen.h"

#include <sndfile.h>

#include <fstream>

#include "tools/soundgen/effects.h"
#include "tools/soundgen/stardust.h"

namespace soundgen {

namespace {

// Vorbis quality, 0 (smallest) .. 1 (best): the pulse is short, so size
// hardly matters.
constexpr double OggQuality = 0.7;

bool WriteSoundFile(const std::filesystem::path& path, const dsp::Buffer& buffer, bool ogg,
                    std::string& error) {
    SF_INFO info{};
    info.samplerate = static_cast<int>(effects::EffectRate);
    info.channels = 1;
    info.format = ogg ? SF_FORMAT_OGG | SF_FORMAT_VORBIS : SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        error = path.string() + ": " + sf_strerror(nullptr);
        return false;
    }
    double quality = OggQuality;
    if (ogg) sf_command(file, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality);
    // The WAV files hold exactly these 16-bit values; Vorbis encodes them.
    const std::vector<std::int16_t> pcm = dsp::ToPcm16(buffer);
    const auto frames = static_cast<sf_count_t>(pcm.size());
    const bool ok = sf_writef_short(file, pcm.data(), frames) == frames;
    if (!ok) error = path.string() + ": " + sf_strerror(file);
    sf_close(file);
    return ok;
}

}  // namespace

std::vector<std::uint8_t> MusicBytes(std::string& error) { return xm::Write(stardust::Compose(), error); }

bool WriteGameSounds(const std::filesystem::path& dir, std::string& error) {
    const dsp::Buffer sounds[] = {effects::EnergyPulse(), effects::MunchetEaten(), effects::FoodEaten(),
                                  effects::Dead(),        effects::NextLevel(),    effects::Saved()};
    for (std::size_t i = 0; i < EffectFiles.size(); ++i) {
        const std::filesystem::path path = dir / EffectFiles[i];
        if (!WriteSoundFile(path, sounds[i], path.extension() == ".ogg", error)) return false;
    }
    const std::vector<std::uint8_t> music = MusicBytes(error);
    if (music.empty()) return false;
    std::ofstream file(dir / MusicFile, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(music.data()), static_cast<std::streamsize>(music.size()));
    if (!file.flush()) {
        error = (dir / MusicFile).string() + ": cannot write";
        return false;
    }
    return true;
}

}  // namespace soundgen
