// What a frame asks of the outside world reaches the engine as the engine's
// own calls: each sound with its effect's handle, pan and pitch, in order,
// and a music volume as a glide of the music's channel.
#include "app/game_audio.h"

#include <gtest/gtest.h>

#include "tests/support/engine_game.h"

namespace {

TEST(GameAudio, PlaysAFramesEffectsThroughTheEngine) {
    EngineGame g;
    GameAudio audio;
    for (std::size_t i = 0; i < audio.effects.size(); ++i)
        audio.effects[i] = static_cast<EffectHandle>(11 + i);
    audio.musicChannel = 7;
    FrameEffects asked;
    asked.Play(SoundEffect::Saved, -256.0f);
    asked.Play(SoundEffect::Energy, 600.0f, 2.375f);
    asked.musicVolume = 40;
    g.afterFrame = [&] { audio.Play(*g.engine, asked); };
    g.RunFrame();

    const FrameRecord& frame = g.LastFrame();
    ASSERT_EQ(frame.sounds.size(), 2u);
    EXPECT_EQ(frame.sounds[0].effect, 16u);
    EXPECT_EQ(frame.sounds[0].pan, -50);
    EXPECT_EQ(frame.sounds[0].volume, 100);
    EXPECT_FLOAT_EQ(frame.sounds[0].pitch, 1.0f);
    EXPECT_FALSE(frame.sounds[0].loop);
    EXPECT_EQ(frame.sounds[1].effect, 11u);
    EXPECT_EQ(frame.sounds[1].pan, 100);
    EXPECT_FLOAT_EQ(frame.sounds[1].pitch, 2.375f);
    ASSERT_EQ(frame.channels.size(), 1u);
    const ChannelEvent& glide = frame.channels[0];
    EXPECT_EQ(glide.kind, ChannelEvent::SlideTo);
    EXPECT_EQ(glide.channel, 7u);
    EXPECT_EQ(glide.volume, 40);
    EXPECT_FLOAT_EQ(glide.time, 0.5f);
    EXPECT_EQ(glide.pan, -101) << "pan kept";
    EXPECT_FLOAT_EQ(glide.pitch, -1.0f) << "pitch kept";

    asked = {};
    g.RunFrame();
    EXPECT_TRUE(g.LastFrame().sounds.empty());
    EXPECT_TRUE(g.LastFrame().channels.empty()) << "no volume asked, no glide";
}

}  // namespace
