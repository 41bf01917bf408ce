// What the quad batch draws: pixels of pictures drawn by the same code as the
// window, and how many geometry calls a stream of quads takes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <type_traits>
#include <vector>

#include "engine/engine_impl.h"
#include "engine/sdl/quad_batch.h"
#include "engine/sdl/sdl_platform.h"
#include "engine/sdl/video.h"
#include "tests/engine/picture_files.h"

namespace {

// The table owns the pictures' pixels: a copy would free them twice.
static_assert(!std::is_copy_constructible_v<TextureTable> && std::is_move_constructible_v<TextureTable>);

Quad MakeQuad(float x0, float y0, float x1, float y1, std::uint32_t colour, TextureHandle texture = 0,
              int blend = BlendDefault) {
    Quad quad;
    quad.texture = texture;
    quad.blend = blend;
    quad.v[0] = {x0, y0, 0.5f, colour, 0, 0};
    quad.v[1] = {x1, y0, 0.5f, colour, 1, 0};
    quad.v[2] = {x1, y1, 0.5f, colour, 1, 1};
    quad.v[3] = {x0, y1, 0.5f, colour, 0, 1};
    return quad;
}

// Colour channels may differ by rounding between blend implementations.
void ExpectColour(const Rgba& actual, int r, int g, int b, const char* what) {
    SCOPED_TRACE(what);
    EXPECT_NEAR(actual.r, r, 2);
    EXPECT_NEAR(actual.g, g, 2);
    EXPECT_NEAR(actual.b, b, 2);
}

class QuadPicture : public ::testing::Test {
protected:
    TempDirectory dir;
    TextureTable textures;

    TextureHandle LoadTexture(const char* name, int width, int height,
                              const std::function<Rgba(int, int)>& pixel) {
        const std::string path = dir.File(name);
        EXPECT_TRUE(WritePng(path, width, height, pixel));
        std::string error;
        const TextureHandle texture = textures.Load(path.c_str(), error);
        EXPECT_NE(texture, 0u) << error;
        return texture;
    }

    Picture Draw(std::uint32_t clearColour, const std::vector<Quad>& quads, int width = 64, int height = 64) {
        const std::string path = dir.File("shot.png");
        std::string error;
        EXPECT_TRUE(Video::Screenshot(width, height, clearColour, quads, textures, path.c_str(), error))
            << error;
        return Picture::Load(path);
    }
};

TEST_F(QuadPicture, UntexturedQuadsShowVertexColoursBlendedByAlpha) {
    const Picture picture = Draw(0xFF0000FF, {
                                                 MakeQuad(4, 4, 20, 20, 0xFFFF0000),   // opaque red
                                                 MakeQuad(24, 4, 40, 20, 0x8000FF00),  // half green
                                                 MakeQuad(44, 4, 60, 20, 0x00FFFFFF),  // invisible
                                             });
    ASSERT_EQ(picture.width, 64);
    ASSERT_EQ(picture.height, 64);
    ExpectColour(picture.At(12, 12), 255, 0, 0, "opaque");
    ExpectColour(picture.At(32, 12), 0, 128, 127, "half alpha over the clear colour");
    ExpectColour(picture.At(52, 12), 0, 0, 255, "zero alpha leaves the background");
    ExpectColour(picture.At(2, 40), 0, 0, 255, "outside every quad");
    EXPECT_EQ(picture.At(2, 40).a, 255) << "the picture is opaque like a screen";
}

TEST_F(QuadPicture, QuadCoversItsRectangleAndNothingMore) {
    const Picture picture = Draw(0xFF000000, {MakeQuad(10, 10, 20, 30, 0xFFFFFFFF)});
    ExpectColour(picture.At(10, 10), 255, 255, 255, "first pixel inside");
    ExpectColour(picture.At(19, 29), 255, 255, 255, "last pixel inside");
    ExpectColour(picture.At(9, 15), 0, 0, 0, "left of it");
    ExpectColour(picture.At(20, 15), 0, 0, 0, "right of it");
    ExpectColour(picture.At(15, 9), 0, 0, 0, "above it");
    ExpectColour(picture.At(15, 30), 0, 0, 0, "below it");
}

TEST_F(QuadPicture, TextureIsMultipliedByVertexColour) {
    const TextureHandle solid = LoadTexture("solid.png", 4, 4, [](int, int) {
        return Rgba{200, 100, 50, 255};
    });
    const TextureHandle halfWhite = LoadTexture("half.png", 4, 4, [](int, int) {
        return Rgba{255, 255, 255, 128};
    });
    const Picture picture = Draw(0xFF0000FF, {
                                                 MakeQuad(0, 0, 16, 16, 0xFFFFFFFF, solid),
                                                 MakeQuad(16, 0, 32, 16, 0xFF808080, solid),
                                                 MakeQuad(32, 0, 48, 16, 0x80FFFFFF, solid),
                                                 MakeQuad(48, 0, 64, 16, 0xFFFFFFFF, halfWhite),
                                             });
    ExpectColour(picture.At(8, 8), 200, 100, 50, "white vertices keep the texture");
    ExpectColour(picture.At(24, 8), 100, 50, 25, "grey vertices halve it");
    ExpectColour(picture.At(40, 8), 100, 50, 152, "vertex alpha blends it");
    ExpectColour(picture.At(56, 8), 128, 128, 255, "texture alpha blends it");
}

TEST_F(QuadPicture, TextureCoordinatesSpanTheWholeTexture) {
    // Left texel red, right texel green.
    const TextureHandle twoTexels = LoadTexture("two.png", 2, 1, [](int x, int) {
        return x == 0 ? Rgba{255, 0, 0, 255} : Rgba{0, 255, 0, 255};
    });
    Quad mirrored = MakeQuad(0, 32, 64, 48, 0xFFFFFFFF, twoTexels);
    for (Vertex& corner : mirrored.v) corner.u = 1 - corner.u;
    const Picture picture = Draw(0xFF000000, {MakeQuad(0, 0, 64, 16, 0xFFFFFFFF, twoTexels), mirrored});
    ExpectColour(picture.At(8, 8), 255, 0, 0, "u near 0");
    ExpectColour(picture.At(56, 8), 0, 255, 0, "u near 1");
    ExpectColour(picture.At(8, 40), 0, 255, 0, "mirrored, u near 1");
    ExpectColour(picture.At(56, 40), 255, 0, 0, "mirrored, u near 0");
}

TEST_F(QuadPicture, VertexColoursAreInterpolated) {
    Quad gradient = MakeQuad(0, 0, 64, 16, 0xFFFF0000);
    gradient.v[1].colour = gradient.v[2].colour = 0xFF0000FF;
    const Picture picture = Draw(0xFF000000, {gradient});
    const Rgba left = picture.At(2, 8), middle = picture.At(32, 8), right = picture.At(61, 8);
    EXPECT_GT(left.r, 230);
    EXPECT_LT(left.b, 25);
    EXPECT_GT(right.b, 230);
    EXPECT_LT(right.r, 25);
    EXPECT_NEAR(middle.r, 128, 12);
    EXPECT_NEAR(middle.b, 128, 12);
}

TEST_F(QuadPicture, LaterQuadsCoverEarlierOnesAcrossTextureChanges) {
    const TextureHandle green = LoadTexture("green.png", 1, 1, [](int, int) { return Rgba{0, 255, 0, 255}; });
    const Picture picture = Draw(0xFF000000, {
                                                 MakeQuad(0, 0, 40, 40, 0xFFFF0000),
                                                 MakeQuad(10, 10, 50, 50, 0xFFFFFFFF, green),
                                                 MakeQuad(20, 20, 60, 60, 0xFF0000FF),
                                             });
    ExpectColour(picture.At(5, 5), 255, 0, 0, "first only");
    ExpectColour(picture.At(15, 15), 0, 255, 0, "second over first");
    ExpectColour(picture.At(30, 30), 0, 0, 255, "third over both");
}

TEST_F(QuadPicture, OtherBlendModesAdd) {
    const Picture picture = Draw(0xFF0000FF, {MakeQuad(0, 0, 16, 16, 0xFFFF0000, 0, 0)});
    ExpectColour(picture.At(8, 8), 255, 0, 255, "red added to blue");
}

TEST_F(QuadPicture, MissingTextureDrawsVertexColours) {
    const Picture picture = Draw(0xFF000000, {MakeQuad(0, 0, 16, 16, 0xFF336699, 42)});
    ExpectColour(picture.At(8, 8), 0x33, 0x66, 0x99, "unknown handle");
}

TEST_F(QuadPicture, SameQuadsGiveTheSamePixels) {
    const TextureHandle noise = LoadTexture("noise.png", 8, 8, [](int x, int y) {
        return Rgba{(x * 37 + y * 11) % 256, (x * 5 + y * 71) % 256, (x * y * 13) % 256, (x + y) * 15};
    });
    std::vector<Quad> quads;
    for (int i = 0; i < 50; ++i) {
        const float x = static_cast<float>(i % 10) * 6, y = static_cast<float>(i / 10) * 11;
        quads.push_back(MakeQuad(x, y, x + 13.5f, y + 9.25f,
                                 0x80FFFFFF | (static_cast<std::uint32_t>(i) * 0x010305u),
                                 i % 3 ? noise : 0));
    }
    const Picture first = Draw(0xFF202020, quads);
    const Picture second = Draw(0xFF202020, quads);
    ASSERT_FALSE(first.bytes.empty());
    EXPECT_EQ(first.bytes, second.bytes);
}

// The headless engine records what a frame drew and draws it with the same code.
struct RecordedFrame {
    static inline Engine* engine = nullptr;
    static bool Render() {
        engine->Gfx_BeginScene();
        engine->Gfx_Clear(0xFF102030);
        const Quad quad = MakeQuad(100, 200, 300, 400, 0x80FFFFFF);
        engine->Gfx_RenderQuad(&quad);
        engine->Gfx_EndScene();
        return false;
    }
    static bool Frame() { return false; }
};

TEST(Screenshot, HeadlessFrameIsDrawnAtTheSceneSize) {
    TempDirectory dir;
    Engine* engine = hgeCreate(EngineVersion);
    RecordedFrame::engine = engine;
    engine->System_SetPlatform(SdlPlatform);
    engine->Headless_Enable({});
    engine->System_SetState(StateLogFile, "");
    engine->System_SetState(StateFrameFunc, &RecordedFrame::Frame);
    engine->System_SetState(StateRenderFunc, &RecordedFrame::Render);
    ASSERT_TRUE(engine->System_Initiate());
    engine->Headless_RunFrame({});
    EXPECT_EQ(engine->Headless_LastFrame().quads.size(), 1u);
    const std::string path = dir.File("frame.png");
    EXPECT_TRUE(engine->Headless_Screenshot(path.c_str()));
    engine->System_Shutdown();
    engine->Release();
    const Picture picture = Picture::Load(path);
    ASSERT_EQ(picture.width, 1024);
    ASSERT_EQ(picture.height, 768);
    ExpectColour(picture.At(50, 50), 0x10, 0x20, 0x30, "clear colour");
    ExpectColour(picture.At(200, 300), 0x88, 0x90, 0x98, "half white over it");
}

TEST(Screenshot, RefusesBadSizesAndUnwritablePaths) {
    TextureTable textures;
    std::string error;
    EXPECT_FALSE(Video::Screenshot(0, 10, 0, {}, textures, "/tmp/never.png", error));
    EXPECT_FALSE(Video::Screenshot(10, 10, 0, {}, textures, "/nonexistent-dir/shot.png", error));
    EXPECT_FALSE(error.empty());
}

// --- Batching ------------------------------------------------------------------

class Batching : public ::testing::Test {
protected:
    void SetUp() override {
        target = SDL_CreateRGBSurfaceWithFormat(0, 64, 64, 32, SDL_PIXELFORMAT_RGB888);
        ASSERT_NE(target, nullptr);
        renderer = SDL_CreateSoftwareRenderer(target);
        ASSERT_NE(renderer, nullptr);
        batch.Attach(renderer, false);
        const std::string path = dir.File("t.png");
        ASSERT_TRUE(WritePng(path, 2, 2, [](int, int) { return Rgba{255, 255, 255, 255}; }));
        std::string error;
        first = textures.Load(path.c_str(), error);
        second = textures.Load(path.c_str(), error);
        ASSERT_NE(second, 0u);
    }
    void TearDown() override {
        batch.Detach();
        if (renderer) SDL_DestroyRenderer(renderer);
        if (target) SDL_FreeSurface(target);
    }
    int DrawCalls(const std::vector<Quad>& quads) {
        batch.drawCalls = 0;
        for (const Quad& quad : quads) batch.Add(quad, textures);
        batch.Flush();
        return batch.drawCalls;
    }

    TempDirectory dir;
    TextureTable textures;
    SDL_Surface* target = nullptr;
    SDL_Renderer* renderer = nullptr;
    QuadBatch batch;
    TextureHandle first = 0, second = 0;
};

TEST_F(Batching, QuadsSharingTextureAndBlendAreOneCall) {
    EXPECT_EQ(DrawCalls(std::vector<Quad>(1000, MakeQuad(0, 0, 8, 8, 0xFFFFFFFF, first))), 1);
    EXPECT_EQ(DrawCalls(std::vector<Quad>(1000, MakeQuad(0, 0, 8, 8, 0xFFFFFFFF))), 1);
    EXPECT_EQ(DrawCalls({}), 0);
}

TEST_F(Batching, TextureOrBlendChangeStartsANewCall) {
    std::vector<Quad> quads;
    for (int i = 0; i < 10; ++i) quads.push_back(MakeQuad(0, 0, 8, 8, 0xFFFFFFFF, i % 2 ? first : second));
    EXPECT_EQ(DrawCalls(quads), 10);
    EXPECT_EQ(DrawCalls({MakeQuad(0, 0, 8, 8, 0xFFFFFFFF, first), MakeQuad(0, 0, 8, 8, 0xFFFFFFFF, 0),
                         MakeQuad(0, 0, 8, 8, 0xFFFFFFFF, 0), MakeQuad(0, 0, 8, 8, 0xFFFFFFFF, 0, 0)}),
              3);
}

TEST_F(Batching, AFullBufferIsDrawnAndBatchingGoesOn) {
    const std::size_t count = QuadBatch::MaxQuads + 10;
    EXPECT_EQ(DrawCalls(std::vector<Quad>(count, MakeQuad(0, 0, 8, 8, 0xFFFFFFFF, first))), 2);
}

TEST_F(Batching, TexturesAreRemadeWhenTheTableIsRefilled) {
    // Draw with texture 1, then replace the table's pictures: the batch must
    // not keep drawing the old picture.
    const Quad quad = MakeQuad(0, 0, 64, 64, 0xFFFFFFFF, first);
    DrawCalls({quad});
    textures.Clear();
    const std::string path = dir.File("red.png");
    ASSERT_TRUE(WritePng(path, 1, 1, [](int, int) { return Rgba{255, 0, 0, 255}; }));
    std::string error;
    ASSERT_EQ(textures.Load(path.c_str(), error), first);
    DrawCalls({quad});
    SDL_RenderFlush(renderer);
    const auto* pixel = static_cast<const std::uint32_t*>(target->pixels);
    EXPECT_EQ(pixel[32 * 64 + 32] & 0xFFFFFFu, 0xFF0000u);
}

}  // namespace
