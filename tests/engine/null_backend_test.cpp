// The null backend of headless runs: picture sizes from PNG headers, sound
// channels in engine time, and the record of what a run asked for.
#include "engine/null_backend.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "engine/engine_impl.h"
#include "engine/sdl/sdl_platform.h"
#include "tests/engine/picture_files.h"

namespace {

// A headless engine, with or without the SDL platform behind it.
struct Headless {
    Engine* engine = hgeCreate(EngineVersion);
    explicit Headless(PlatformFactory platform = nullptr) {
        engine->System_SetPlatform(platform);
        engine->Headless_Enable({});
        engine->System_SetState(StateLogFile, "");
        engine->System_Initiate();
    }
    ~Headless() {
        engine->System_Shutdown();
        engine->Release();
    }
};

TEST(NullBackend, KnowsTheGamesPicturesAtTheSizesTheyDecodeTo) {
    for (const char* name : {"ghost", "ghost_energy", "munchet", "food", "door", "font1"}) {
        const std::string path = std::string(MUNCHET_SOURCE_DIR "/data/") + name + ".png";
        int decoded[2] = {0, 0};
        {
            Headless real(SdlPlatform);
            const TextureHandle texture = real.engine->Texture_Load(path.c_str());
            decoded[0] = real.engine->Texture_GetWidth(texture);
            decoded[1] = real.engine->Texture_GetHeight(texture);
        }
        Headless null;
        const TextureHandle texture = null.engine->Texture_Load(path.c_str());
        ASSERT_NE(texture, 0u) << name;
        EXPECT_GT(decoded[0], 0) << name;
        EXPECT_EQ(null.engine->Texture_GetWidth(texture), decoded[0]) << name;
        EXPECT_EQ(null.engine->Texture_GetHeight(texture), decoded[1]) << name;
    }
}

TEST(PngSize, RefusesWhatIsNotTheStartOfAPng) {
    const std::vector<std::uint8_t> good = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0,    0,    13,
                                            'I',  'H', 'D', 'R', 0,  0,  1,  2,  0, 0x7F, 0xFF, 0xFF};
    PictureSize size;
    std::string error;
    ASSERT_TRUE(ReadPngSize(good.data(), good.size(), size, error)) << error;
    EXPECT_EQ(size.width, 258);
    EXPECT_EQ(size.height, 0x7FFFFF);
    const struct {
        const char* what;
        std::size_t at;  // the byte changed
        std::uint8_t to;
    } broken[] = {{"signature", 1, 'p'}, {"header length", 11, 14},       {"chunk type", 12, 'i'},
                  {"zero width", 18, 0}, {"width beyond 2^31", 16, 0x80}, {"zero height", 21, 0}};
    for (const auto& b : broken) {
        std::vector<std::uint8_t> bytes = good;
        bytes[b.at] = b.to;
        if (b.at == 18) bytes[19] = 0;
        if (b.at == 21) bytes[22] = bytes[23] = 0;
        EXPECT_FALSE(ReadPngSize(bytes.data(), bytes.size(), size, error)) << b.what;
    }
    EXPECT_FALSE(ReadPngSize(good.data(), 23, size, error)) << "cut short";
    EXPECT_FALSE(ReadPngSize(nullptr, 0, size, error));
    EXPECT_FALSE(ReadPngFileSize("/nonexistent/picture.png", size, error));
}

TEST(NullBackend, LoopingChannelsGlideInEngineTimeOthersEndAtTheNextFrame) {
    TempDirectory dir;
    const std::string path = dir.File("any.wav");
    std::ofstream(path) << "bytes the null backend does not read";
    Headless null;
    Engine* e = null.engine;
    const EffectHandle effect = e->Effect_Load(path.c_str());
    ASSERT_NE(effect, 0u);
    EXPECT_EQ(e->Effect_Load(dir.File("missing.wav").c_str()), 0u);
    EXPECT_EQ(e->Effect_PlayEx(effect + 1), 0u) << "an unknown effect plays nothing";

    const ChannelHandle looping = e->Effect_PlayEx(effect, 100, 0, 1.0f, true);
    const ChannelHandle once = e->Effect_PlayEx(effect);
    e->Channel_SlideTo(looping, 0.5f, 20);
    e->Channel_SlideTo(once, 0.5f, 20);
    EXPECT_TRUE(e->Channel_IsSliding(looping));
    EXPECT_TRUE(e->Channel_IsSliding(once));
    int slidingFrames = 0;
    for (int frame = 0; frame < 60; ++frame) {
        e->Headless_RunFrame({});
        slidingFrames += e->Channel_IsSliding(looping);
        EXPECT_FALSE(e->Channel_IsSliding(once)) << "over at the next frame";
    }
    EXPECT_EQ(slidingFrames, 49) << "0.5 s at 0.01 s a frame: the 50th frame ends it";
    e->Channel_SlideTo(looping, 0, 60);
    EXPECT_FALSE(e->Channel_IsSliding(looping)) << "a glide of no time is no glide";
}

TEST(NullBackend, TheRunRecordKeepsEveryCallWithItsFrame) {
    TempDirectory dir;
    const std::string path = dir.File("tune.xm");
    std::ofstream(path) << "module";
    Headless null;
    Engine* e = null.engine;
    const MusicHandle music = e->Music_Load(path.c_str());
    const ChannelHandle channel = e->Music_Play(music, true, 60, 3, 7);
    e->Headless_RunFrame({});
    e->Effect_PlayEx(4, 90, -20, 1.5f);
    e->Channel_SlideTo(channel, 0.5f, 80);
    e->Headless_RunFrame({});

    EXPECT_TRUE(e->Headless_LastFrame().channels.empty()) << "the last frame asked for nothing";
    const RunRecord& run = e->Headless_WholeRun();
    ASSERT_EQ(run.channels.size(), 2u);
    const ChannelEvent& play = run.channels[0];
    EXPECT_EQ(play.kind, ChannelEvent::MusicPlay);
    EXPECT_EQ(play.frame, 0u) << "before the first frame";
    EXPECT_EQ(play.channel, channel);
    EXPECT_EQ(play.music, music);
    EXPECT_EQ(play.order, 3);
    EXPECT_EQ(play.row, 7);
    EXPECT_EQ(play.volume, 60);
    EXPECT_EQ(run.channels[1].kind, ChannelEvent::SlideTo);
    EXPECT_EQ(run.channels[1].frame, 1u) << "after the first frame, before the second";
    ASSERT_EQ(run.sounds.size(), 1u);
    EXPECT_EQ(run.sounds[0].effect, 4u);
    EXPECT_EQ(run.sounds[0].pan, -20);
    EXPECT_EQ(run.sounds[0].pitch, 1.5f);
}

TEST(NullBackend, WithoutAPlatformThereIsNoWindowAndNoScreenshot) {
    TempDirectory dir;
    {
        Headless null;
        null.engine->Headless_RunFrame({});
        EXPECT_FALSE(null.engine->Headless_Screenshot(dir.File("frame.png").c_str()));
    }
    Engine* engine = hgeCreate(EngineVersion);
    engine->System_SetState(StateLogFile, "");
    EXPECT_FALSE(engine->System_Initiate()) << "a window needs a platform";
    EXPECT_NE(std::string(engine->System_GetErrorMessage()).find("platform"), std::string::npos);
    engine->Release();
}

}  // namespace
