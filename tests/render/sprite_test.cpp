#include "render/sprite.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "tests/support/engine_game.h"

namespace {

struct Corner {
    float x, y;
};

// Draws once inside a scene and returns the quad the engine received.
Quad drawn(EngineGame& g, Sprite& sprite, float x, float y, float r, float hs, float vs) {
    g.engine->Gfx_BeginScene();
    sprite.Draw(x, y, r, hs, vs);
    g.engine->Gfx_EndScene();
    EXPECT_EQ(g.LastFrame().quads.size(), 1u);
    return g.LastFrame().quads.empty() ? Quad{} : g.LastFrame().quads.back();
}

void expectCorners(const Quad& q, std::initializer_list<Corner> corners, float tolerance = 0.0f) {
    int i = 0;
    for (const Corner& c : corners) {
        EXPECT_NEAR(q.v[i].x, c.x, tolerance) << "vertex " << i;
        EXPECT_NEAR(q.v[i].y, c.y, tolerance) << "vertex " << i;
        ++i;
    }
}

TEST(Sprite, ZeroVerticalScaleFollowsTheHorizontalOne) {
    EngineGame g;
    Sprite door(g.engine, 0, 0, 0, 32, 32);
    door.SetHotSpot(16, 16);
    const Quad q = drawn(g, door, 512, 64, 0, 2.0f, 0);
    expectCorners(q, {{480, 32}, {544, 32}, {544, 96}, {480, 96}});
}

TEST(Sprite, SeparateScalesStretchAboutTheHotSpot) {
    EngineGame g;
    Sprite s(g.engine, 0, 0, 0, 10, 20);
    s.SetHotSpot(5, 10);
    const Quad q = drawn(g, s, 100, 200, 0, 3.0f, 0.5f);
    expectCorners(q, {{85, 195}, {115, 195}, {115, 205}, {85, 205}});
}

TEST(Sprite, NegativeScalesMirrorAboutTheHotSpot) {
    EngineGame g;
    Sprite s(g.engine, 0, 0, 0, 32, 32);
    s.SetHotSpot(8, 4);
    const Quad q = drawn(g, s, 100, 100, 0, -1.0f, -2.0f);
    // Left and right swap places, top and bottom too, the hot spot stays put.
    expectCorners(q, {{108, 108}, {76, 108}, {76, 44}, {108, 44}});
}

TEST(Sprite, RotationTurnsClockwiseAboutATopLeftHotSpot) {
    EngineGame g;
    Sprite s(g.engine, 0, 0, 0, 10, 4);
    const Quad q = drawn(g, s, 100, 100, std::numbers::pi_v<float> / 2, 1.0f, 0);
    // A quarter turn with y down: the top edge now points down the screen.
    expectCorners(q, {{100, 100}, {100, 110}, {96, 110}, {96, 100}}, 1e-4f);
}

TEST(Sprite, FullTurnLandsWhereNoTurnDoes) {
    EngineGame g;
    Sprite s(g.engine, 0, 0, 0, 16, 16);
    s.SetHotSpot(8, 8);
    const Quad still = drawn(g, s, 300, 200, 0, 1.0f, 0);
    const Quad turned = drawn(g, s, 300, 200, 2 * std::numbers::pi_v<float>, 1.0f, 0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(turned.v[i].x, still.v[i].x, 1e-3f);
        EXPECT_NEAR(turned.v[i].y, still.v[i].y, 1e-3f);
    }
}

TEST(Sprite, CornersComeFromTheHotSpotNotFromTheLastDraw) {
    EngineGame g;
    Sprite s(g.engine, 0, 0, 0, 6, 4);
    s.SetHotSpot(3, 2);
    drawn(g, s, 10, 10, 1.0f, 5.0f, 0);
    const Quad q = drawn(g, s, 50, 60, 0, 1.0f, 0);
    expectCorners(q, {{47, 58}, {53, 58}, {53, 62}, {47, 62}});
}

TEST(Sprite, TextureCoordinatesAreFractionsOfTheTexture) {
    EngineGame g;
    const TextureHandle texture = g.engine->Texture_Load("data/munchet.png");  // 16 x 16
    ASSERT_NE(texture, 0u);
    ASSERT_EQ(g.engine->Texture_GetWidth(texture), 16);
    Sprite food(g.engine, texture, 0, 0, 6, 4);
    const Quad q = drawn(g, food, 0, 0, 0, 1.0f, 0);
    EXPECT_EQ(q.texture, texture);
    EXPECT_FLOAT_EQ(q.v[0].u, 0.0f);
    EXPECT_FLOAT_EQ(q.v[0].v, 0.0f);
    EXPECT_FLOAT_EQ(q.v[1].u, 0.375f);
    EXPECT_FLOAT_EQ(q.v[1].v, 0.0f);
    EXPECT_FLOAT_EQ(q.v[2].u, 0.375f);
    EXPECT_FLOAT_EQ(q.v[2].v, 0.25f);
    EXPECT_FLOAT_EQ(q.v[3].u, 0.0f);
    EXPECT_FLOAT_EQ(q.v[3].v, 0.25f);

    Sprite inner(g.engine, texture, 4, 8, 8, 4);
    const Quad r = drawn(g, inner, 0, 0, 0, 1.0f, 0);
    EXPECT_FLOAT_EQ(r.v[0].u, 0.25f);
    EXPECT_FLOAT_EQ(r.v[0].v, 0.5f);
    EXPECT_FLOAT_EQ(r.v[2].u, 0.75f);
    EXPECT_FLOAT_EQ(r.v[2].v, 0.75f);
}

TEST(Sprite, WithoutTextureMeasuresInAOneByOneTexture) {
    EngineGame g;
    Sprite s(g.engine, 0, 65, 0, 10, 20);
    const Quad q = drawn(g, s, 0, 0, 0, 1.0f, 0);
    EXPECT_EQ(q.texture, 0u);
    EXPECT_FLOAT_EQ(q.v[0].u, 65.0f);
    EXPECT_FLOAT_EQ(q.v[2].u, 75.0f);
    EXPECT_FLOAT_EQ(q.v[2].v, 20.0f);
}

TEST(Sprite, StartsOpaqueWhiteAtMidDepthWithTheDefaultBlend) {
    EngineGame g;
    Sprite s(g.engine, 0, 0, 0, 4, 4);
    Quad q = drawn(g, s, 0, 0, 0, 1.0f, 0);
    for (const Vertex& v : q.v) {
        EXPECT_EQ(v.colour, 0xFFFFFFFFu);
        EXPECT_FLOAT_EQ(v.z, 0.5f);
    }
    EXPECT_EQ(q.blend, BlendDefault);

    s.SetColor(0x80FF0000);
    q = drawn(g, s, 0, 0, 0, 1.0f, 0);
    for (const Vertex& v : q.v) EXPECT_EQ(v.colour, 0x80FF0000u);
    EXPECT_FLOAT_EQ(s.GetWidth(), 4.0f);
}

}  // namespace
