// The level set-up and the food sources' walk.
#include <cstdlib>

#include "sim_support.h"

namespace {

using LevelSetupTest = SimTest;

TEST_F(LevelSetupTest, LevelZeroWithOnePlayer) {
    g.game.SetupLevel();
    const Player& p = g.game.players[0];
    EXPECT_EQ(p.x, 0.0f);
    EXPECT_EQ(p.y, -192.0f);
    EXPECT_EQ(p.focusKey, 16);
    EXPECT_EQ(p.upKey, 38);
    EXPECT_EQ(p.leftKey, 37);
    EXPECT_EQ(p.downKey, 40);
    EXPECT_EQ(p.rightKey, 39);
    EXPECT_EQ(g.game.players[1].focusKey, 0);  // not taking part, not touched
    ASSERT_EQ(g.game.munchetList.size(), 1u);
    EXPECT_EQ(g.game.munchetList[0].x, 0.0f);
    EXPECT_EQ(g.game.munchetList[0].y, 192.0f);
    ASSERT_EQ(g.game.foodSources.size(), 2u);
    EXPECT_EQ(g.game.foodSources[0].x, 320);
    EXPECT_EQ(g.game.foodSources[0].y, -64);
    EXPECT_EQ(g.game.foodSources[1].x, -320);
    EXPECT_EQ(g.game.foodSources[1].y, -64);
    EXPECT_EQ(g.game.foodSources[1].stepsLeft, 0);
}

TEST_F(LevelSetupTest, TwoPlayersStartApartWithTheirOwnKeys) {
    g.game.playerCount = 2;
    g.game.SetupLevel();
    const Player& right = g.game.players[0];
    const Player& left = g.game.players[1];
    EXPECT_EQ(right.x, 200.0f);
    EXPECT_EQ(left.x, -200.0f);
    EXPECT_EQ(left.y, -192.0f);
    EXPECT_EQ(right.focusKey, 96);
    EXPECT_EQ(right.leftKey, 37);
    EXPECT_EQ(left.focusKey, 71);
    EXPECT_EQ(left.upKey, 87);
    EXPECT_EQ(left.leftKey, 65);
    EXPECT_EQ(left.downKey, 83);
    EXPECT_EQ(left.rightKey, 68);
}

TEST_F(LevelSetupTest, LevelFourLinesUpNineMunchetsWithStaggeredSplitTimers) {
    g.game.level = 4;
    // Per munchet: heading, split delay, stride, turn.
    std::vector<Draw> kinds;
    for (int i = 0; i < 9; ++i)
        kinds.insert(kinds.end(), {F(-3.14f, 3.14f), F(15, 30), F(40, 100), F(-1.57f, 1.57f)});
    const std::vector<float> r = Draws(g.game.random, 5, kinds);
    g.game.SetupLevel();
    ASSERT_EQ(g.game.munchetList.size(), 9u);
    for (int k = 0; k < 9; ++k) {
        const Munchet& m = g.game.munchetList[static_cast<std::size_t>(k)];
        EXPECT_FLOAT_EQ(m.x, -409.6f + 102.4f * static_cast<float>(k));
        EXPECT_EQ(m.y, 192.0f);
        // The k-th waits k seconds longer: one more munchet already in the list.
        EXPECT_EQ(m.splitTimer, static_cast<float>(k) + r[4 * k + 1]);
        EXPECT_EQ(m.heading, r[4 * k] + r[4 * k + 3]);
    }
    EXPECT_EQ(g.game.munchetList[0].x, -409.6f);
    EXPECT_EQ(g.game.munchetList[4].x, 0.0f);
}

TEST_F(LevelSetupTest, TieGoesToAVerticalLegTakenAtOnce) {
    const std::vector<float> r = Draws(g.game.random, 3, {I(-448, 448), I(-256, 320)});
    FoodSource s;
    const int startX = static_cast<int>(r[0]) - 100, startY = static_cast<int>(r[1]) + 100;
    s.setPosition(startX, startY);  // dx = 100, dy = -100
    s.Step(g.game.random);
    EXPECT_EQ(s.dirX, 0);
    EXPECT_EQ(s.dirY, -1);
    EXPECT_EQ(s.stepsLeft, 3);
    EXPECT_EQ(s.x, startX);
    EXPECT_EQ(s.y, startY - 24);
    for (int i = 0; i < 3; ++i) s.Step(g.game.random);
    EXPECT_EQ(s.y, startY - 96);
    EXPECT_EQ(s.stepsLeft, 0);
}

// Puts a source `offset` units above its first drawn target, after a
// horizontal leg, and checks which draw its new leg comes from: the first
// when it gives 3 to 11 steps, otherwise the second (a seed whose second draw
// is valid is searched for).
void CheckLegDraw(RandomGenerator& random, int offset, bool firstIsValid) {
    for (int seed = 1; seed < 10000; ++seed) {
        const std::vector<float> r =
            Draws(random, seed, {I(-448, 448), I(-256, 320), I(-448, 448), I(-256, 320), I(-448, 448)});
        const int y = static_cast<int>(r[1]) - offset;
        const int dy = firstIsValid ? offset : static_cast<int>(r[3]) - y;
        if (std::abs(dy) / 24 < 3 || std::abs(dy) / 24 > 11) continue;
        FoodSource s;
        s.setPosition(0, y);
        s.dirX = 1;  // after a horizontal leg the next is vertical, whatever the target's x
        s.Step(random);
        EXPECT_EQ(s.dirX, 0);
        EXPECT_EQ(s.dirY, dy > 0 ? 1 : -1);
        EXPECT_EQ(s.stepsLeft, std::abs(dy) / 24 - 1);
        EXPECT_EQ(s.x, 0);
        EXPECT_EQ(s.y, y + 24 * s.dirY);
        // The draws used: two per try.
        EXPECT_EQ(random.Int(-448, 448), static_cast<int>(r[firstIsValid ? 2 : 4]));
        return;
    }
    FAIL() << "no seed found";
}

TEST_F(LevelSetupTest, LegsOfTwoOrTwelveStepsAreDrawnAgain) {
    CheckLegDraw(g.game.random, 71, false);    // 2 steps
    CheckLegDraw(g.game.random, 72, true);     // 3 steps
    CheckLegDraw(g.game.random, -287, true);   // 11 steps
    CheckLegDraw(g.game.random, -288, false);  // 12 steps
}

TEST_F(LevelSetupTest, AfterAVerticalLegComesAHorizontalOne) {
    const std::vector<float> r = Draws(g.game.random, 8, {I(-448, 448), I(-256, 320)});
    FoodSource s;
    s.setPosition(static_cast<int>(r[0]) + 100, static_cast<int>(r[1]) - 280);
    s.dirY = 1;
    s.Step(g.game.random);
    EXPECT_EQ(s.dirX, -1);
    EXPECT_EQ(s.dirY, 0);
    EXPECT_EQ(s.stepsLeft, 3);
}

}  // namespace
