// Munchets: their strides, walk and splitting, with the random draws in the
// order the rules give them.
#include <cmath>

#include "sim_support.h"

namespace {

using MunchetTest = SimTest;

Munchet At(float x, float y, float targetX, float targetY) {
    Munchet m;
    m.x = x, m.y = y, m.targetX = targetX, m.targetY = targetY;
    return m;
}

TEST_F(MunchetTest, WalksFasterOnLaterLevels) {
    Munchet m = At(0, 0, 100, 0);
    m.splitTimer = 3;
    m.move(0.01f, 0, g.game.random);
    EXPECT_FLOAT_EQ(m.x, 0.5f);
    EXPECT_EQ(m.splitTimer, 3.0f - 0.01f);
    m = At(0, 0, 0, -100);
    m.move(0.01f, 3, g.game.random);
    EXPECT_FLOAT_EQ(m.y, -0.65f);
    EXPECT_EQ(m.x, 0.0f);
}

TEST_F(MunchetTest, NearTargetPicksTheNextStrideAndStandsStill) {
    Munchet m = At(10, 20, 12.4f, 20);  // 2.4 < 5 steps of 0.5
    m.heading = 100;                    // kept unwrapped
    const std::vector<float> r = Draws(g.game.random, 9, {F(40, 100), F(-1.57f, 1.57f)});
    m.move(0.01f, 0, g.game.random);
    EXPECT_EQ(m.x, 10.0f);
    EXPECT_EQ(m.y, 20.0f);
    const float heading = 100.0f + r[1];
    EXPECT_EQ(m.heading, heading);
    EXPECT_EQ(m.targetX, 10.0f + std::cos(heading) * r[0]);
    EXPECT_EQ(m.targetY, 20.0f + std::sin(heading) * r[0]);
    // Just beyond five steps it walks on.
    m = At(0, 0, 2.6f, 0);
    m.move(0.01f, 0, g.game.random);
    EXPECT_FLOAT_EQ(m.x, 0.5f);
}

TEST_F(MunchetTest, TargetsStayInsideTheField) {
    Munchet m = At(500, -370, 0, 0);
    for (int i = 0; i < 2000; ++i) {
        m.chooseTarget(g.game.random);
        ASSERT_TRUE(std::fabs(m.targetX) <= 504 && std::fabs(m.targetY) <= 376);
        ASSERT_LE(std::hypot(m.targetX - m.x, m.targetY - m.y), 100.001f);
    }
}

TEST_F(MunchetTest, StandingOnItsTargetWithoutTimeNeverGoesNaN) {
    Munchet m = At(5, 5, 5, 5);
    m.move(0.0f, 0, g.game.random);
    EXPECT_TRUE(std::isfinite(m.x) && std::isfinite(m.y));
    EXPECT_EQ(m.x, 5.0f);
    m.move(0.0f, 0, g.game.random);  // a new target, still no time: stays put
    EXPECT_EQ(m.x, 5.0f);
    EXPECT_EQ(m.y, 5.0f);
}

TEST_F(MunchetTest, SplitDrawsInOrderAndWaitsLongerInAFullerLaterLevel) {
    g.game.levelTime = 12.5f;
    g.game.munchetList.resize(3);
    Munchet parent = At(-40, 60, 0, 0);
    parent.heading = -2;
    parent.splitTimer = -0.001f;
    std::vector<Munchet> newborns;
    const std::vector<float> r =
        Draws(g.game.random, 4, {F(-3.14f, 3.14f), F(15, 30), F(40, 100), F(-1.57f, 1.57f), F(15, 30)});
    parent.trySplit(newborns, g.game);
    ASSERT_EQ(newborns.size(), 1u);
    const Munchet& child = newborns[0];
    EXPECT_EQ(child.x, -40.0f);
    EXPECT_EQ(child.y, 60.0f);
    EXPECT_EQ(child.splitTimer, 12.5f + 3.0f + r[1]);
    EXPECT_EQ(child.heading, -2.0f + r[3]);
    EXPECT_EQ(child.targetX, -40.0f + std::cos(child.heading) * r[2]);
    EXPECT_EQ(parent.splitTimer, 12.5f + 3.0f + r[4]);
    EXPECT_EQ(parent.heading, -2.0f);
    // With time left nothing happens and nothing is drawn.
    parent.trySplit(newborns, g.game);
    EXPECT_EQ(newborns.size(), 1u);
    parent.feed();
    EXPECT_EQ(parent.splitTimer, 12.5f + 3.0f + r[4] - 10.0f);
}

TEST_F(MunchetTest, AChildJoinsAfterTheMunchetPassAndFirstMovesNextFrame) {
    g.game.StartGame();
    g.game.munchetList[0].splitTimer = 0.005f;
    g.RunFrame();
    ASSERT_EQ(g.game.munchetList.size(), 2u);
    const Munchet parent = g.game.munchetList[0];
    const Munchet child = g.game.munchetList[1];
    EXPECT_EQ(child.x, parent.x);
    EXPECT_EQ(child.y, parent.y);
    EXPECT_GT(parent.splitTimer, 15.0f);
    g.RunFrame();
    EXPECT_NE(g.game.munchetList[1].x, child.x);
    EXPECT_LT(g.game.munchetList[1].splitTimer, child.splitTimer);
}

}  // namespace
