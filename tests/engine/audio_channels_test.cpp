// Channels, glides and loading without a sound device: what the game relies on
// in every mode, headless tests included.
#include <gtest/gtest.h>

#include "engine/engine.h"
#include "engine/headless.h"
#include "engine/sdl/audio.h"
#include "engine/sdl/audio_decode.h"
#include "tests/engine/audio_test_support.h"

namespace {

using namespace audiotest;

constexpr int WavPcm16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

struct SilentAudio : ::testing::Test {
    Audio audio;
    std::filesystem::path dir = FreshDir("audio_channels");
    EffectHandle half;   // 0.5 s of 440 Hz
    EffectHandle tenth;  // 0.1 s of 440 Hz

    void SetUp() override {
        std::string note, error;
        audio.Open(Audio::Mode::Silent, note);
        ASSERT_TRUE(WriteSound(dir / "half.wav", WavPcm16, 22050, 1, Sine(440, 0.5, 22050, 0.5)));
        ASSERT_TRUE(WriteSound(dir / "tenth.wav", WavPcm16, 22050, 1, Sine(440, 0.1, 22050, 0.5)));
        half = audio.LoadEffect((dir / "half.wav").c_str(), error);
        tenth = audio.LoadEffect((dir / "tenth.wav").c_str(), error);
        ASSERT_NE(half, 0u);
        ASSERT_NE(tenth, 0u);
    }

    // Advances engine time in 100-per-second frames.
    void Frames(int n) {
        for (int i = 0; i < n; ++i) audio.Update(0.01f);
    }
};

TEST_F(SilentAudio, LoadsWavBitExactAndOggCloseToTheSource) {
    EXPECT_FALSE(audio.IsAudible());
    const auto samples = Sine(1000, 0.25, 44100, 0.7);
    ASSERT_TRUE(WriteSound(dir / "tone.wav", WavPcm16, 44100, 1, samples));
    ASSERT_TRUE(WriteSound(dir / "tone.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 1, samples));
    std::string error;
    const PcmSound* wav = audio.Effect(audio.LoadEffect((dir / "tone.wav").c_str(), error));
    const PcmSound* ogg = audio.Effect(audio.LoadEffect((dir / "tone.ogg").c_str(), error));
    ASSERT_TRUE(wav && ogg) << error;
    EXPECT_EQ(wav->samples, samples);
    EXPECT_EQ(wav->sampleRate, 44100);
    ASSERT_EQ(ogg->channels, 1);
    ASSERT_EQ(ogg->Frames(), samples.size());
    double error2 = 0, signal2 = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        error2 += std::pow(double(ogg->samples[i]) - samples[i], 2);
        signal2 += double(samples[i]) * samples[i];
    }
    EXPECT_LT(error2, signal2 * 0.01);  // lossy, but the same tone
}

TEST_F(SilentAudio, StereoEffectsAreFoldedToMonoSoThatTheyCanBePanned) {
    std::vector<std::int16_t> stereo;
    for (int i = 0; i < 1000; ++i) stereo.insert(stereo.end(), {1000, 3000});
    ASSERT_TRUE(WriteSound(dir / "stereo.wav", WavPcm16, 44100, 2, stereo));
    std::string error;
    const PcmSound* sound = audio.Effect(audio.LoadEffect((dir / "stereo.wav").c_str(), error));
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->channels, 1);
    ASSERT_EQ(sound->Frames(), 1000u);
    EXPECT_EQ(sound->samples[500], 2000);
}

TEST_F(SilentAudio, MissingOrBrokenFilesGiveTheNullHandleWithAReason) {
    WriteText(dir / "text.wav", "RIFF but not really a wave file");
    WriteText(dir / "empty.ogg", "");
    WriteText(dir / "noise.xm", std::string(4000, '\x7f'));
    for (const char* name : {"missing.wav", "text.wav", "empty.ogg"}) {
        std::string error;
        EXPECT_EQ(audio.LoadEffect((dir / name).c_str(), error), 0u) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
    for (const char* name : {"missing.xm", "noise.xm", "empty.ogg"}) {
        std::string error;
        EXPECT_EQ(audio.LoadMusic((dir / name).c_str(), error), 0u) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
    std::string error;
    EXPECT_EQ(audio.LoadEffect(nullptr, error), 0u);
}

TEST_F(SilentAudio, NullAndUnknownHandlesDoNothing) {
    EXPECT_EQ(audio.PlayEffect(0, 100, 0, 1, false), 0u);
    EXPECT_EQ(audio.PlayEffect(99, 100, 0, 1, false), 0u);
    EXPECT_EQ(audio.PlayMusic(0, true, 60), 0u);
    EXPECT_EQ(audio.PlayMusic(7, true, 60), 0u);
    audio.SlideTo(0, 0.5f, 10, -101, -1);
    audio.SlideTo(12345, 0.5f, 10, -101, -1);
    EXPECT_FALSE(audio.IsSliding(0));
    EXPECT_FALSE(audio.IsPlaying(12345));
    EXPECT_EQ(audio.Effect(0), nullptr);
    EXPECT_FALSE(audio.RenderLoopback(nullptr, 10));
}

TEST_F(SilentAudio, AGlideSlidesForItsTimeInEngineTimeAndEndsOnTheTarget) {
    const ChannelHandle channel = audio.PlayEffect(half, 60, 0, 1, true);
    audio.SlideTo(channel, 0.5f, 100, -101, -1);
    EXPECT_TRUE(audio.IsSliding(channel));
    Frames(25);
    EXPECT_NEAR(audio.Volume(channel), 80.0f, 0.5f);
    Frames(24);
    EXPECT_TRUE(audio.IsSliding(channel)) << "0.49 s into a 0.5 s glide";
    Frames(1);
    EXPECT_FALSE(audio.IsSliding(channel)) << "0.5 s of engine time have passed";
    EXPECT_FLOAT_EQ(audio.Volume(channel), 100.0f);
    EXPECT_TRUE(audio.IsPlaying(channel));
}

TEST_F(SilentAudio, ANewGlideStartsFromWhereTheOldOneWas) {
    const ChannelHandle channel = audio.PlayEffect(half, 100, 0, 1, true);
    audio.SlideTo(channel, 1.0f, 0, -101, -1);
    Frames(50);
    audio.SlideTo(channel, 0.2f, 100, -101, -1);
    EXPECT_NEAR(audio.Volume(channel), 50.0f, 0.5f);
    Frames(10);
    EXPECT_NEAR(audio.Volume(channel), 75.0f, 0.5f);
    Frames(10);
    EXPECT_FALSE(audio.IsSliding(channel));
}

TEST_F(SilentAudio, ZeroTimeSetsAtOnceAndOutOfRangeVolumesAreHeld) {
    const ChannelHandle channel = audio.PlayEffect(half, 250, 0, 1, true);
    EXPECT_FLOAT_EQ(audio.Volume(channel), 100.0f);
    audio.SlideTo(channel, 0.0f, -20, -101, -1);
    EXPECT_FALSE(audio.IsSliding(channel));
    EXPECT_FLOAT_EQ(audio.Volume(channel), 0.0f);
}

TEST_F(SilentAudio, EffectsEndAfterTheirLengthAtTheirPitch) {
    const ChannelHandle normal = audio.PlayEffect(half, 100, 0, 1.0f, false);
    const ChannelHandle fast = audio.PlayEffect(half, 100, 0, 2.0f, false);
    const ChannelHandle looped = audio.PlayEffect(tenth, 100, 0, 1.0f, true);
    audio.SlideTo(fast, 1.0f, 0, -101, -1);
    Frames(24);
    EXPECT_TRUE(audio.IsPlaying(fast));
    EXPECT_TRUE(audio.IsSliding(fast));
    Frames(2);
    EXPECT_FALSE(audio.IsPlaying(fast));
    EXPECT_FALSE(audio.IsSliding(fast)) << "a glide ends with its channel";
    EXPECT_TRUE(audio.IsPlaying(normal));
    Frames(25);
    EXPECT_FALSE(audio.IsPlaying(normal));
    EXPECT_TRUE(audio.IsPlaying(looped));
}

TEST_F(SilentAudio, AFullVoicePoolGivesTheOldestVoiceToTheNewEffect) {
    std::vector<ChannelHandle> channels;
    for (int i = 0; i < Audio::VoiceCount; ++i) channels.push_back(audio.PlayEffect(half, 100, 0, 1, true));
    const ChannelHandle extra = audio.PlayEffect(half, 100, 0, 1, true);
    EXPECT_FALSE(audio.IsPlaying(channels[0]));
    EXPECT_TRUE(audio.IsPlaying(extra));
    for (int i = 1; i < Audio::VoiceCount; ++i)
        EXPECT_TRUE(audio.IsPlaying(channels[static_cast<std::size_t>(i)]));
}

TEST_F(SilentAudio, VoicesOfEndedEffectsAreReusedBeforeAnyIsTaken) {
    const ChannelHandle keeper = audio.PlayEffect(half, 100, 0, 1, true);
    for (int i = 0; i < Audio::VoiceCount - 1; ++i) audio.PlayEffect(tenth, 100, 0, 1, false);
    Frames(11);
    std::vector<ChannelHandle> fresh;
    for (int i = 0; i < Audio::VoiceCount - 1; ++i) fresh.push_back(audio.PlayEffect(half, 100, 0, 1, true));
    EXPECT_TRUE(audio.IsPlaying(keeper));
    for (const ChannelHandle channel : fresh) EXPECT_TRUE(audio.IsPlaying(channel));
}

TEST_F(SilentAudio, SlidesKeepPanAndPitchOnlyWhenAskedTo) {
    const ChannelHandle channel = audio.PlayEffect(half, 100, -50, 1.0f, false);
    audio.SlideTo(channel, 0.1f, 100, 50, 1.5f);
    Frames(10);
    // Pitch rose to 1.5 along the way, so less than 0.4 s of sound is left.
    Frames(26);
    EXPECT_FALSE(audio.IsPlaying(channel));

    const ChannelHandle kept = audio.PlayEffect(half, 100, -50, 2.0f, false);
    audio.SlideTo(kept, 0.1f, 50, -101, -1.0f);
    Frames(24);
    EXPECT_TRUE(audio.IsPlaying(kept));
    Frames(2);
    EXPECT_FALSE(audio.IsPlaying(kept)) << "pitch 2 kept: 0.25 s";
}

TEST_F(SilentAudio, PitchIsHeldWithinTheRangeOpenAlTakes) {
    const ChannelHandle slow = audio.PlayEffect(tenth, 100, 0, 0.0f, false);
    const ChannelHandle odd = audio.PlayEffect(tenth, 100, 0, std::nanf(""), false);
    Frames(11);
    EXPECT_TRUE(audio.IsPlaying(slow)) << "pitch 0 plays very slowly instead of freezing";
    EXPECT_FALSE(audio.IsPlaying(odd)) << "a pitch that is not a number plays at 1";
}

TEST_F(SilentAudio, MusicLoadsAndLoopsForEverOrEndsAfterOnePass) {
    std::string error;
    const MusicHandle music = audio.LoadMusic(MUNCHET_SOURCE_DIR "/data/stardust.xm", error);
    ASSERT_NE(music, 0u) << error;
    const ChannelHandle looping = audio.PlayMusic(music, true, 60);
    const ChannelHandle once = audio.PlayMusic(music, false, 60);
    EXPECT_NE(looping, once);
    EXPECT_FLOAT_EQ(audio.Volume(looping), 60.0f);
    for (int i = 0; i < 600; ++i) audio.Update(1.0f);  // ten minutes
    EXPECT_TRUE(audio.IsPlaying(looping));
    EXPECT_FALSE(audio.IsPlaying(once));
}

TEST_F(SilentAudio, CloseForgetsEverything) {
    const ChannelHandle channel = audio.PlayEffect(half, 100, 0, 1, true);
    audio.Close();
    EXPECT_FALSE(audio.IsPlaying(channel));
    EXPECT_EQ(audio.Effect(half), nullptr);
    EXPECT_EQ(audio.PlayEffect(half, 100, 0, 1, false), 0u);
}

// Through the engine: glides measured in frames, as the volume bar sees them.
TEST(EngineSound, MusicGlideReportsSlidingForFiftyFramesOfAHundredPerSecond) {
    HeadlessEngine engine{HeadlessOptions{}};
    ASSERT_TRUE(engine.initiated);
    const MusicHandle music = engine->Music_Load(MUNCHET_SOURCE_DIR "/data/stardust.xm");
    ASSERT_NE(music, 0u);
    const ChannelHandle channel = engine->Music_Play(music, true, 60, -1, -1);
    ASSERT_NE(channel, 0u);
    ASSERT_EQ(engine->Headless_LastFrame().channels.size(), 1u);
    EXPECT_EQ(engine->Headless_LastFrame().channels[0].volume, 60);
    EXPECT_TRUE(engine->Headless_LastFrame().channels[0].loop);

    engine->Headless_RunFrame({});
    engine->Channel_SlideTo(channel, 0.5f, 80, -101, -1.0f);
    int sliding = 0;
    for (int frame = 0; frame < 80; ++frame) {
        if (engine->Channel_IsSliding(channel)) ++sliding;
        engine->Headless_RunFrame({});
    }
    EXPECT_EQ(sliding, 50);
    EXPECT_FALSE(engine->Channel_IsSliding(0));
    EXPECT_EQ(engine->Effect_PlayEx(0, 100, 0, 1.0f, false), 0u);
    float buffer[8];
    EXPECT_FALSE(engine->Headless_RenderAudio(buffer, 4)) << "no loopback device in the silent mode";
}

}  // namespace
