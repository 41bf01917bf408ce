#include "app/load_resources.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "render/scene.h"
#include "tests/render/render_support.h"

namespace {

// The sprite's quad after drawing it at (100, 100) unscaled.
Quad drawnAt100(EngineGame& g, Sprite& sprite) {
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
    RenderedGame g;
    LoadResources(*g.engine, g.scene, g.audio);

    // Texture handles count up in loading order, the font's last.
    ASSERT_NE(g.scene.ghostTexture, 0u);
    EXPECT_LT(g.scene.ghostTexture, g.scene.ghostEnergyTexture);
    EXPECT_LT(g.scene.ghostEnergyTexture, g.scene.munchetTexture);
    EXPECT_LT(g.scene.munchetTexture, g.scene.foodTexture);
    EXPECT_LT(g.scene.foodTexture, g.scene.doorTexture);
    ASSERT_TRUE(g.scene.font);
    EXPECT_LT(g.scene.doorTexture, g.scene.font->GetTexture());

    const struct {
        Sprite* sprite;
        TextureHandle texture;
        float w, h;
        std::uint32_t colour;
    } table[] = {
        {g.scene.ghostSprite.get(), g.scene.ghostTexture, 32, 32, 0xFFFF0000},
        {g.scene.ghostEnergySprite.get(), g.scene.ghostEnergyTexture, 48, 48, 0xFFFF0000},
        {g.scene.munchetSprite.get(), g.scene.munchetTexture, 16, 16, 0xFFFFFF00},
        {g.scene.foodSprite.get(), g.scene.foodTexture, 6, 4, 0xFF00A000},
        {g.scene.doorSprite.get(), g.scene.doorTexture, 32, 32, 0xFFFFFFFF},
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
    RenderedGame g;
    LoadResources(*g.engine, g.scene, g.audio);
    ASSERT_TRUE(g.scene.font);
    for (int c = 32; c <= 126; ++c)
        EXPECT_NE(g.scene.font->GetGlyph(static_cast<unsigned char>(c)), nullptr) << c;
    EXPECT_GE(g.scene.font->GetHeight(), 18.0f);
    EXPECT_LE(g.scene.font->GetHeight(), 22.0f);
    EXPECT_GT(g.scene.font->GetTextWidth("Score: 0000000"), 80.0f);
    EXPECT_LT(g.scene.font->GetTextWidth("Score: 0000000"), 200.0f);
}

TEST(LoadResources, LoadingAgainReplacesTheObjects) {
    RenderedGame g;
    LoadResources(*g.engine, g.scene, g.audio);
    const TextureHandle first = g.scene.ghostTexture;
    LoadResources(*g.engine, g.scene, g.audio);
    ASSERT_TRUE(g.scene.ghostSprite);
    EXPECT_NE(g.scene.ghostTexture, first);
    g.game.StartGame();
    g.RunFrame();
    EXPECT_EQ(QuadsWith(g.LastFrame().quads, g.scene.ghostTexture).size(), 1u);
    EXPECT_EQ(g.engine->Texture_GetWidth(g.scene.ghostTexture), 32);
}

// Runs in an empty working directory, so nothing under data/ is found.
struct WithoutData : ::testing::Test {
    TempDir dir;
    std::filesystem::path before = std::filesystem::current_path();
    WithoutData() { std::filesystem::current_path(dir.path); }
    ~WithoutData() override { std::filesystem::current_path(before); }
};

TEST_F(WithoutData, TheGameStillRunsAndDrawsUntexturedQuads) {
    RenderedGame g;
    LoadResources(*g.engine, g.scene, g.audio);
    EXPECT_EQ(g.scene.ghostTexture, 0u);
    EXPECT_EQ(g.scene.doorTexture, 0u);
    ASSERT_TRUE(g.scene.doorSprite);
    ASSERT_TRUE(g.scene.font);
    EXPECT_EQ(g.scene.font->GetGlyph('A'), nullptr);

    g.game.StartGame();
    for (int i = 0; i < 50; ++i) EXPECT_FALSE(g.RunFrame());
    const auto& quads = g.LastFrame().quads;
    // Door, munchets, aura and body; no text without a font.
    EXPECT_EQ(quads.size(), 1 + g.game.foodList.size() + g.game.munchetList.size() + 2);
    for (const Quad& q : quads) EXPECT_EQ(q.texture, 0u);
}

}  // namespace
