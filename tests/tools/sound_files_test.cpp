// The committed sound files: made by the generator, loaded by the engine's own
// decoder, and fit to be heard hundreds of times.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "engine/sdl/audio_decode.h"
#include "tests/tools/sound_test_support.h"
#include "tools/soundgen/soundgen.h"

namespace {

using namespace soundtest;

const std::filesystem::path DataDir = MUNCHET_SOURCE_DIR "/data";

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

PcmSound Decode(const std::filesystem::path& path) {
    PcmSound sound;
    std::string error;
    EXPECT_TRUE(DecodeSoundFile(path.c_str(), sound, error)) << path << ": " << error;
    return sound;
}

std::vector<float> ToFloat(const PcmSound& sound) {
    std::vector<float> out;
    for (const std::int16_t sample : sound.samples) out.push_back(static_cast<float>(sample) / 32768.0f);
    return out;
}

// The music's loudest moment, rendered as the engine renders it.
double MusicPeak() {
    const LoadedModule music(ReadBytes(DataDir / "stardust.xm"));
    return music ? Peak(music.RenderMono(1000)) : 0.0;
}

struct Expected {
    double minSeconds, maxSeconds;
    double minPeak, maxPeak;
};

// Lengths and levels by design: the frequent sounds short and soft.
const std::map<std::string, Expected> Effects = {
    {"energy.ogg", {0.2, 0.45, 0.3, 0.5}},   {"muncheteaten.wav", {0.2, 0.6, 0.3, 0.5}},
    {"food.wav", {0.04, 0.15, 0.1, 0.25}},   {"dead.wav", {0.8, 2.5, 0.3, 0.5}},
    {"nextlevel.wav", {0.6, 2.0, 0.3, 0.5}}, {"safed.wav", {0.1, 0.4, 0.2, 0.4}},
};

TEST(SoundFiles, TheGeneratorReproducesTheCommittedFiles) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("munchet_soundgen_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::string error;
    ASSERT_TRUE(soundgen::WriteGameSounds(dir, error)) << error;
    for (const std::string& name : soundgen::EffectFiles) {
        SCOPED_TRACE(name);
        if (name.ends_with(".wav")) {
            EXPECT_EQ(ReadBytes(dir / name), ReadBytes(DataDir / name))
                << "run: cmake --build <dir> --target sounds";
        } else {
            // Ogg streams carry a random serial number; what they decode to is fixed.
            EXPECT_EQ(Decode(dir / name).samples, Decode(DataDir / name).samples);
        }
    }
    EXPECT_EQ(ReadBytes(dir / soundgen::MusicFile), ReadBytes(DataDir / soundgen::MusicFile));
    std::filesystem::remove_all(dir);
}

TEST(SoundFiles, EffectsAreShortCleanMonoAndBelowTheMusic) {
    const double musicPeak = MusicPeak();
    ASSERT_GT(musicPeak, 0.3);
    for (const auto& [name, expected] : Effects) {
        SCOPED_TRACE(name);
        const PcmSound sound = Decode(DataDir / name);
        ASSERT_EQ(sound.channels, 1);
        EXPECT_EQ(sound.sampleRate, 44100);
        EXPECT_GE(sound.Seconds(), expected.minSeconds);
        EXPECT_LE(sound.Seconds(), expected.maxSeconds);
        const std::vector<float> samples = ToFloat(sound);
        const double peak = Peak(samples);
        EXPECT_GE(peak, expected.minPeak);
        EXPECT_LE(peak, expected.maxPeak);
        EXPECT_LT(peak, musicPeak) << "an effect louder than the music's loudest moment";
        // Non-silent through its first half, at rest at both ends (no clicks).
        EXPECT_GT(Rms(samples, 0, samples.size() / 2), peak / 20);
        const std::size_t ms = 44;
        EXPECT_LT(std::fabs(samples.front()), 0.01);
        EXPECT_LT(std::fabs(samples.back()), 0.002);
        EXPECT_LT(Rms(samples, samples.size() - ms, ms), 0.01);
        // No offset that would thump when the sound starts and stops.
        double sum = 0;
        for (const float s : samples) sum += s;
        EXPECT_LT(std::fabs(sum / double(samples.size())), 0.002);
    }
}

TEST(SoundFiles, TheFrequentSoundsAreTheSoftest) {
    const auto loudness = [](const char* name) { return Rms(ToFloat(Decode(DataDir / name))); };
    const double food = loudness("food.wav");
    for (const char* other : {"muncheteaten.wav", "dead.wav", "nextlevel.wav", "safed.wav", "energy.ogg"})
        EXPECT_LT(food, loudness(other)) << other;
    EXPECT_LT(loudness("safed.wav"), loudness("muncheteaten.wav"));
}

TEST(SoundFiles, TheEnergyPulseFitsBetweenItsRepeatsAtEveryPitch) {
    // The pulse repeats every charge / 40 + 0.8 s at pitch 0.5 − charge / 8,
    // for charges from −0.5 down to about −15.
    const double seconds = Decode(DataDir / "energy.ogg").Seconds();
    for (double charge = -0.51; charge > -15.5; charge -= 0.5) {
        const double pitch = 0.5 - charge * 0.125, interval = charge / 40 + 0.8;
        EXPECT_LT(seconds / pitch, interval) << "charge " << charge;
    }
}

TEST(SoundFiles, DifferentEventsSoundDifferent) {
    // No two effects share a spectrum: compare their energy in bands of half
    // an octave, each spectrum scaled to a total of 1.
    const auto spectrum = [](const char* name) {
        const std::vector<float> samples = ToFloat(Decode(DataDir / name));
        std::vector<double> bands;
        for (double low = 100; low < 8000; low *= 1.5) {
            double band = 0;
            for (int step = 0; step < 8; ++step)
                band += Strength(samples, low * std::pow(1.5, step / 8.0), 44100);
            bands.push_back(band);
        }
        double total = 0;
        for (const double band : bands) total += band;
        for (double& band : bands) band /= total;
        return bands;
    };
    const char* names[] = {"energy.ogg", "muncheteaten.wav", "food.wav",
                           "dead.wav",   "nextlevel.wav",    "safed.wav"};
    for (std::size_t a = 0; a < 6; ++a)
        for (std::size_t b = a + 1; b < 6; ++b) {
            const auto x = spectrum(names[a]), y = spectrum(names[b]);
            double distance = 0;
            for (std::size_t i = 0; i < x.size(); ++i) distance += std::fabs(x[i] - y[i]);
            EXPECT_GT(distance, 0.3) << names[a] << " and " << names[b];
        }
}

}  // namespace
