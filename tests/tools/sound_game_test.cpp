// The game's sounds through the headless engine, mixed by the loopback device.
#include <gtest/gtest.h>

#include "engine/sdl/sdl_platform.h"
#include "tests/render/render_support.h"
#include "tests/tools/sound_test_support.h"

namespace {

constexpr int KeyM = 77;

struct GameSound : ::testing::Test {
    RenderedGame headless{1234,
                          [] {
                              HeadlessOptions options;
                              options.loopbackAudio = true;
                              return options;
                          }(),
                          SdlPlatform};

    std::vector<float> Render(double seconds) {
        std::vector<float> out(static_cast<std::size_t>(seconds * 44100) * 2);
        EXPECT_TRUE(headless.engine->Headless_RenderAudio(out.data(), static_cast<int>(out.size() / 2)));
        return out;
    }
};

TEST_F(GameSound, TheMusicStartsLoopingAtSixtyAndTheVolumeKeyGlidesIt) {
    const MusicHandle music = headless.engine->Music_Load("data/stardust.xm");
    ASSERT_NE(music, 0u);
    headless.audio.music = music;
    headless.game.musicVolume = Game::StartVolume;
    headless.audio.StartMusic(*headless.engine, headless.game.musicVolume);
    const FrameRecord& started = headless.LastFrame();
    ASSERT_EQ(started.channels.size(), 1u);
    EXPECT_EQ(started.channels[0].kind, ChannelEvent::MusicPlay);
    EXPECT_EQ(started.channels[0].music, music);
    EXPECT_TRUE(started.channels[0].loop);
    EXPECT_EQ(started.channels[0].volume, 60);
    const ChannelHandle channel = headless.audio.musicChannel;
    EXPECT_EQ(started.channels[0].channel, channel);
    ASSERT_NE(channel, 0u);

    headless.game.StartGame();
    headless.RunFrame();
    const std::vector<float> playing = Render(3.0);
    EXPECT_GT(soundtest::Rms(playing), 0.01);

    headless.RunFrame(FrameInput{}.Press(KeyM));
    const FrameRecord& pressed = headless.LastFrame();
    ASSERT_EQ(pressed.channels.size(), 1u);
    EXPECT_EQ(pressed.channels[0].kind, ChannelEvent::SlideTo);
    EXPECT_EQ(pressed.channels[0].volume, 80);
    int sliding = 0;
    for (int frame = 0; frame < 70; ++frame) {
        if (headless.engine->Channel_IsSliding(channel)) ++sliding;
        headless.RunFrame();
    }
    EXPECT_EQ(sliding, 50);

    // Two more presses: 100, then 0, where the music goes on silently; then 20.
    for (int press = 0; press < 2; ++press) {
        headless.RunFrame(FrameInput{}.Press(KeyM));
        headless.RunFrames(60);
    }
    Render(0.1);
    EXPECT_LT(soundtest::Rms(Render(0.5)), 1e-4);
    headless.RunFrame(FrameInput{}.Press(KeyM));
    headless.RunFrames(60);
    Render(0.1);
    EXPECT_GT(soundtest::Rms(Render(1.0)), 0.002);
}

TEST_F(GameSound, EveryEffectLoadsAndPlaysWhereTheEventHappens) {
    const char* files[] = {"data/energy.ogg", "data/muncheteaten.wav", "data/food.wav",
                           "data/dead.wav",   "data/nextlevel.wav",    "data/safed.wav"};
    for (const char* file : files) {
        const EffectHandle effect = headless.engine->Effect_Load(file);
        ASSERT_NE(effect, 0u) << file;
        Render(3.0);  // whatever played before has ended
        headless.engine->Effect_PlayEx(effect, 100, -100, 1.0f, false);
        const std::vector<float> left = Render(0.05);
        double l = 0, r = 0;
        for (std::size_t i = 0; i < left.size(); i += 2) {
            l += left[i] * left[i];
            r += left[i + 1] * left[i + 1];
        }
        EXPECT_GT(l, 20 * r) << file;
        EXPECT_GT(l, 0.0) << file;
    }
}

}  // namespace
