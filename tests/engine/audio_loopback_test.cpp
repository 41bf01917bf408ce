// What is really heard: OpenAL Soft's loopback device mixes the channels into
// memory, faster than real time and with no sound card.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/engine.h"
#include "engine/headless.h"
#include "engine/sdl/audio.h"
#include "tests/engine/audio_test_support.h"

namespace {

using namespace audiotest;

constexpr int Rate = 44100;  // the loopback device's output rate

struct LoopbackAudio : ::testing::Test {
    Audio audio;
    std::filesystem::path dir = FreshDir("audio_loopback");
    EffectHandle tone;  // 1 s of 441 Hz, amplitude 0.5

    void SetUp() override {
        std::string note, error;
        audio.Open(Audio::Mode::Loopback, note);
        ASSERT_TRUE(audio.IsAudible()) << note;
        ASSERT_TRUE(note.empty());
        ASSERT_TRUE(WriteSound(dir / "tone.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, Rate, 1,
                               Sine(441, 1.0, Rate, 0.5)));
        tone = audio.LoadEffect((dir / "tone.wav").c_str(), error);
        ASSERT_NE(tone, 0u) << error;
    }

    std::vector<float> Render(double seconds) {
        std::vector<float> out(static_cast<std::size_t>(seconds * Rate) * 2, 9.0f);
        EXPECT_TRUE(audio.RenderLoopback(out.data(), static_cast<int>(out.size() / 2)));
        return out;
    }
};

TEST_F(LoopbackAudio, PanPutsTheSoundOnItsSide) {
    audio.PlayEffect(tone, 100, -100, 1.0f, false);
    const auto left = Render(0.2);
    audio.Update(1.0f);
    Render(1.0);  // let the first one end

    audio.PlayEffect(tone, 100, 100, 1.0f, false);
    const auto right = Render(0.2);
    Render(1.0);

    audio.PlayEffect(tone, 100, 0, 1.0f, false);
    const auto centre = Render(0.2);

    EXPECT_GT(Rms(left, 0), 10 * Rms(left, 1));
    EXPECT_GT(Rms(right, 1), 10 * Rms(right, 0));
    EXPECT_NEAR(Rms(centre, 0), Rms(centre, 1), 0.02 * Rms(centre, 0));
    EXPECT_GT(Rms(centre, 0), 0.1);
    // Between the edges the balance moves steadily from one side to the other.
    double lastBalance = -1.1;
    for (const int pan : {-100, -50, -20, 0, 20, 50, 100}) {
        Render(1.0);
        audio.PlayEffect(tone, 100, pan, 1.0f, false);
        const auto out = Render(0.2);
        const double balance = (Rms(out, 1) - Rms(out, 0)) / (Rms(out, 1) + Rms(out, 0));
        EXPECT_GT(balance, lastBalance + 0.05) << pan;
        lastBalance = balance;
    }
}

TEST_F(LoopbackAudio, PitchScalesTheFrequencyAndTheLength) {
    audio.PlayEffect(tone, 100, 0, 1.0f, false);
    const int normal = ZeroCrossings(Render(0.5), 0);
    Render(1.0);
    const ChannelHandle fast = audio.PlayEffect(tone, 100, 0, 2.0f, false);
    const int doubled = ZeroCrossings(Render(0.5), 0);
    EXPECT_NEAR(normal, 220, 3);
    EXPECT_NEAR(doubled, 2 * normal, 4);
    EXPECT_FALSE(audio.IsPlaying(fast)) << "1 s of sound at pitch 2 is over after 0.5 s";
    const auto after = Render(0.1);
    EXPECT_LT(Rms(after, 0), 1e-4);

    audio.PlayEffect(tone, 100, 0, 0.5f, false);
    EXPECT_NEAR(ZeroCrossings(Render(0.5), 0), normal / 2, 3);
}

TEST_F(LoopbackAudio, VolumeScalesTheAmplitude) {
    audio.PlayEffect(tone, 100, 0, 1.0f, false);
    const double full = Rms(Render(0.3), 0);
    Render(1.0);
    audio.PlayEffect(tone, 25, 0, 1.0f, false);
    const double quarter = Rms(Render(0.3), 0);
    EXPECT_NEAR(quarter / full, 0.25, 0.01);
}

TEST_F(LoopbackAudio, AGlideRampsTheGainInEngineTime) {
    const ChannelHandle channel = audio.PlayEffect(tone, 100, 0, 1.0f, true);
    const double start = Rms(Render(0.05), 0);
    audio.SlideTo(channel, 0.5f, 0, -101, -1.0f);
    std::vector<double> levels;
    for (int frame = 0; frame < 60; ++frame) {
        audio.Update(0.01f);
        levels.push_back(Rms(Render(0.01), 0));
    }
    EXPECT_NEAR(levels[24] / start, 0.5, 0.05);
    for (std::size_t i = 1; i < 50; ++i) EXPECT_LE(levels[i], levels[i - 1] * 1.02 + 1e-6) << i;
    EXPECT_LT(levels[55], 1e-4);
    EXPECT_TRUE(audio.IsPlaying(channel)) << "a looping effect glided to 0 goes on, silently";
}

TEST_F(LoopbackAudio, EffectsStopAtTheirEndAndFreeTheirVoice) {
    const ChannelHandle once = audio.PlayEffect(tone, 10, 0, 1.0f, false);
    const double single = Rms(Render(0.1), 0);
    Render(0.8);
    EXPECT_TRUE(audio.IsPlaying(once));
    Render(0.2);
    EXPECT_FALSE(audio.IsPlaying(once));
    std::vector<ChannelHandle> channels;
    for (int i = 0; i < Audio::VoiceCount + 1; ++i)
        channels.push_back(audio.PlayEffect(tone, 10, 0, 1.0f, true));
    EXPECT_FALSE(audio.IsPlaying(channels[0])) << "the oldest voice was taken";
    for (std::size_t i = 1; i < channels.size(); ++i) EXPECT_TRUE(audio.IsPlaying(channels[i]));
    const auto mix = Render(0.1);
    // All started together, so the voices add up in phase.
    EXPECT_NEAR(Rms(mix, 0) / single, Audio::VoiceCount, 1.0);
}

TEST_F(LoopbackAudio, MusicIsStreamedWithoutGapsAtItsVolume) {
    std::string error;
    const MusicHandle music = audio.LoadMusic(MUNCHET_SOURCE_DIR "/data/stardust.xm", error);
    ASSERT_NE(music, 0u) << error;
    const ChannelHandle channel = audio.PlayMusic(music, true, 60);
    const auto out = Render(4.0);
    // Every quarter second after the first has sound on both sides: the
    // queue of buffers never ran dry.
    for (std::size_t window = 1; window < 16; ++window)
        for (int side = 0; side < 2; ++side)
            EXPECT_GT(Rms(out, side, window * Rate / 4, Rate / 4), 0.003) << window << " " << side;
    for (const float sample : out) ASSERT_LE(std::abs(sample), 1.0f);

    audio.SlideTo(channel, 0.0f, 0, -101, -1.0f);
    audio.Update(0.01f);
    const auto muted = Render(0.2);
    EXPECT_LT(Rms(muted, 0, Rate / 20), 1e-4);
    EXPECT_TRUE(audio.IsPlaying(channel));
}

TEST(EngineLoopback, TheHeadlessEngineMixesWhatTheGamePlays) {
    const auto dir = FreshDir("engine_loopback");
    ASSERT_TRUE(
        WriteSound(dir / "tone.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, Rate, 1, Sine(441, 0.5, Rate, 0.5)));
    HeadlessOptions options;
    options.loopbackAudio = true;
    HeadlessEngine engine{options};
    ASSERT_TRUE(engine.initiated);
    const EffectHandle effect = engine->Effect_Load((dir / "tone.wav").c_str());
    ASSERT_NE(effect, 0u);
    EXPECT_EQ(engine->Effect_Load((dir / "missing.wav").c_str()), 0u);
    engine->Effect_PlayEx(effect, 100, 100, 1.0f, false);
    std::vector<float> out(4410 * 2);
    ASSERT_TRUE(engine->Headless_RenderAudio(out.data(), 4410));
    EXPECT_GT(Rms(out, 1), 0.2);
    EXPECT_LT(Rms(out, 0), 0.02);
}

}  // namespace

namespace {

// The default device: a sound card, OpenAL Soft's null output (as the tests
// run), or nothing at all; the game must run the same way on each.
TEST(DeviceAudio, PlaysOrStaysSilentButAlwaysRuns) {
    const auto dir = FreshDir("device_audio");
    ASSERT_TRUE(
        WriteSound(dir / "tone.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, Rate, 1, Sine(441, 0.2, Rate, 0.5)));
    Audio audio;
    std::string note, error;
    audio.Open(Audio::Mode::Device, note);
    EXPECT_EQ(audio.IsAudible(), note.empty()) << note;
    const EffectHandle effect = audio.LoadEffect((dir / "tone.wav").c_str(), error);
    const MusicHandle music = audio.LoadMusic(MUNCHET_SOURCE_DIR "/data/stardust.xm", error);
    ASSERT_NE(effect, 0u);
    ASSERT_NE(music, 0u);
    const ChannelHandle song = audio.PlayMusic(music, true, 60);
    ASSERT_NE(song, 0u);
    for (int i = 0; i < 40; ++i) audio.PlayEffect(effect, 50, i % 2 ? 80 : -80, 1.0f + 0.02f * i, false);
    audio.SlideTo(song, 0.05f, 20, -101, -1.0f);
    for (int frame = 0; frame < 10; ++frame) {
        audio.Update(0.01f);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(audio.IsPlaying(song)) << "the streaming thread keeps a looping song going";
    EXPECT_FALSE(audio.IsSliding(song));
    EXPECT_FLOAT_EQ(audio.Volume(song), 20.0f);
    EXPECT_FALSE(audio.RenderLoopback(nullptr, 0));
    audio.Close();
    EXPECT_FALSE(audio.IsPlaying(song));
}

}  // namespace
