#include "app/load_resources.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "render/scene.h"
#include "tests/render/render_support.h"
#include "tests/support/headless_game.h"

namespace {

// The sprite's quad after drawing it at (100, 100) unscaled.
Quad drawnAt100(HeadlessGame& g, Sprite& sprite) {
    g.engine->Gfx_BeginScene();
    sprite.Draw(100, 100, 0, 1.0f, 0);
    g.engine->Gfx_EndScene();
    return sprite.GetQuad();
}

void expectCentredAt100(const Quad& q, float w, float h) {
    EXPECT_FLOAT_EQ(q.v[0].x, 100 - w / 2);
    EXPECT_FLOAT_EQ(q.v[0].y, 100 - h / 2);
    EXPECT_FLOAT_EQ(q.v[2].x, 100 + w / 2);
    EXPECT_FLOAT_EQ(q.v[2].y, 100 + h / 2);
}

TEST(LoadResources, BuildsTheSpritesOfTheTableInOrder) {
    SceneReset scene;
    RenderedGame g;
    LoadResources();

    // Texture handles count up in loading order, the font's last.
    ASSERT_NE(ghostTexture, 0u);
    EXPECT_LT(ghostTexture, ghostEnergyTexture);
    EXPECT_LT(ghostEnergyTexture, munchetTexture);
    EXPECT_LT(munchetTexture, foodTexture);
    EXPECT_LT(foodTexture, doorTexture);
    ASSERT_TRUE(font);
    EXPECT_LT(doorTexture, font->GetTexture());

    const struct {
        Sprite* sprite;
        TextureHandle texture;
        float w, h;
        std::uint32_t colour;
    } table[] = {
        {ghostSprite.get(), ghostTexture, 32, 32, 0xFFFF0000},
        {ghostEnergySprite.get(), ghostEnergyTexture, 48, 48, 0xFFFF0000},
        {munchetSprite.get(), munchetTexture, 16, 16, 0xFFFFFF00},
        {foodSprite.get(), foodTexture, 6, 4, 0xFF00A000},
        {doorSprite.get(), doorTexture, 32, 32, 0xFFFFFFFF},
    };
    for (const auto& row : table) {
        ASSERT_NE(row.sprite, nullptr);
        const Quad q = drawnAt100(g, *row.sprite);
        EXPECT_EQ(q.texture, row.texture);
        EXPECT_EQ(q.v[0].colour, row.colour);
        EXPECT_EQ(q.v[3].colour, row.colour);
        EXPECT_FLOAT_EQ(q.v[0].u, 0.0f);
        // Every picture is at least as large as its rectangle.
        EXPECT_GE(g.engine->Texture_GetWidth(row.texture), row.w);
        EXPECT_GE(g.engine->Texture_GetHeight(row.texture), row.h);
        expectCentredAt100(q, row.w, row.h);
    }
}

TEST(LoadResources, TheFontCoversPrintableAsciiAtAReadableSize) {
    SceneReset scene;
    RenderedGame g;
    LoadResources();
    ASSERT_TRUE(font);
    for (int c = 32; c <= 126; ++c) EXPECT_NE(font->GetGlyph(static_cast<unsigned char>(c)), nullptr) << c;
    EXPECT_GE(font->GetHeight(), 18.0f);
    EXPECT_LE(font->GetHeight(), 22.0f);
    EXPECT_GT(font->GetTextWidth("Score: 0000000"), 80.0f);
    EXPECT_LT(font->GetTextWidth("Score: 0000000"), 200.0f);
}

TEST(LoadResources, LoadingAgainReplacesTheObjects) {
    SceneReset scene;
    {
        RenderedGame first;
        LoadResources();
    }
    RenderedGame second;
    LoadResources();
    ASSERT_TRUE(ghostSprite);
    second.game.StartGame();
    second.RunFrame();
    EXPECT_EQ(QuadsWith(second.LastFrame().quads, ghostTexture).size(), 1u);
    EXPECT_EQ(second.engine->Texture_GetWidth(ghostTexture), 32);
}

// Runs in an empty working directory, so nothing under data/ is found.
struct WithoutData : ::testing::Test {
    TempDir dir;
    std::filesystem::path before = std::filesystem::current_path();
    WithoutData() { std::filesystem::current_path(dir.path); }
    ~WithoutData() override { std::filesystem::current_path(before); }
};

TEST_F(WithoutData, TheGameStillRunsAndDrawsUntexturedQuads) {
    SceneReset scene;
    RenderedGame g;
    LoadResources();
    EXPECT_EQ(ghostTexture, 0u);
    EXPECT_EQ(doorTexture, 0u);
    ASSERT_TRUE(doorSprite);
    ASSERT_TRUE(font);
    EXPECT_EQ(font->GetGlyph('A'), nullptr);

    g.game.StartGame();
    for (int i = 0; i < 50; ++i) EXPECT_FALSE(g.RunFrame());
    const auto& quads = g.LastFrame().quads;
    // Door, munchets, aura and body; no text without a font.
    EXPECT_EQ(quads.size(), 1 + g.game.foodList.size() + g.game.munchetList.size() + 2);
    for (const Quad& q : quads) EXPECT_EQ(q.texture, 0u);
}

}  // namespace
