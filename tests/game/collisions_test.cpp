// The contact, eating and goal passes: counters, sounds and list order.
#include "sim_support.h"

namespace {

class CollisionsTest : public SimTest {
protected:
    CollisionsTest() {
        g.game.StartGame();
        g.RunFrame();  // clears the frame record; the set-up drew nothing audible
        game.munchetList.clear();
    }
    Munchet& AddMunchet(float x, float y) {
        Munchet m;
        m.x = x, m.y = y, m.targetX = x, m.targetY = y, m.splitTimer = 20;
        game.munchetList.push_back(m);
        return game.munchetList.back();
    }
    const std::vector<SoundRequest>& Sounds() { return g.game.effects.sounds; }
    Game& game = g.game;
};

TEST_F(CollisionsTest, ContactStartsBelowTwentyFourUnits) {
    game.players[0].setPosition(0, -192);
    game.players[0].charge = -1;
    AddMunchet(24, -192);
    AddMunchet(200, 0);
    game.ContactPass();
    EXPECT_EQ(game.munchetList.size(), 2u);
    game.munchetList[0].x = 23.99f;
    game.ContactPass();
    ASSERT_EQ(game.munchetList.size(), 1u);
    EXPECT_EQ(game.munchetList[0].x, 200.0f);
    EXPECT_EQ(game.score, 100);
    EXPECT_EQ(game.munchets, 1);
    ASSERT_EQ(Sounds().size(), 1u);
    EXPECT_EQ(Sounds()[0].effect, SoundEffect::MunchetEaten);
    EXPECT_EQ(Sounds()[0].pan, 4);  // 23.99 / 512 * 100
}

TEST_F(CollisionsTest, ChargeExactlyZeroEatsUnlessFocusing) {
    game.players[0].setPosition(0, 0);
    game.players[0].charge = 0;
    AddMunchet(-100, 0);
    AddMunchet(10, 0);
    game.ContactPass();
    EXPECT_FALSE(game.gameOver);
    EXPECT_EQ(game.munchetList.size(), 1u);

    AddMunchet(-10, 0);
    game.players[0].focusing = true;
    game.ContactPass();
    EXPECT_TRUE(game.gameOver);
    EXPECT_TRUE(game.nameEntry);             // 100 points from the first munchet
    EXPECT_EQ(game.munchetList.size(), 2u);  // the catcher stays
}

TEST_F(CollisionsTest, ACatchWithAScoreAsksForANameOtherwiseFetchesTheTable) {
    game.players[0].setPosition(0, 0);
    AddMunchet(5, 0);
    AddMunchet(-5, 0);
    game.highscores = {{"sentinel", 1}};
    game.ContactPass();
    EXPECT_TRUE(game.gameOver);
    EXPECT_FALSE(game.nameEntry);
    EXPECT_TRUE(game.highscores.empty() || game.highscores[0].name != "sentinel");
    EXPECT_EQ(SoundCount(g.game.effects, SoundEffect::Dead), 2);  // one per touching munchet
    EXPECT_EQ(Sounds()[0].pan, 0);

    game.gameOver = false;
    game.score = 1;
    game.highscores = {{"sentinel", 1}};
    game.ContactPass();
    EXPECT_TRUE(game.gameOver);
    EXPECT_TRUE(game.nameEntry);
    EXPECT_EQ(game.highscores[0].name, "sentinel");
}

TEST_F(CollisionsTest, OneGhostCaughtWhileTheOtherEatsTheLastMunchet) {
    game.playerCount = 2;
    game.players[0].setPosition(0, 0);   // charge 1: caught
    game.players[1].setPosition(10, 0);  // energised: eats
    game.players[1].charge = -2;
    AddMunchet(5, 0);
    game.ContactPass();
    EXPECT_TRUE(game.gameOver);
    EXPECT_FALSE(game.nameEntry);  // the score was 0 at the catch
    EXPECT_EQ(game.level, 1);
    EXPECT_EQ(game.score, 100 + 10000);
    EXPECT_EQ(game.munchets, 1);
    EXPECT_EQ(game.munchetList.size(), 3u);
    ASSERT_EQ(Sounds().size(), 3u);
    EXPECT_EQ(Sounds()[0].effect, SoundEffect::Dead);
    EXPECT_EQ(Sounds()[1].effect, SoundEffect::MunchetEaten);
    EXPECT_EQ(Sounds()[2].effect, SoundEffect::NextLevel);
    EXPECT_EQ(Sounds()[2].pan, 0);
}

TEST_F(CollisionsTest, EatingTheOnlyMunchetOfLevelZeroInAFrameGives10100) {
    g.game.Reset();
    g.game.StartGame();
    Munchet& m = game.munchetList[0];
    game.players[0].setPosition(m.x, m.y - 20);
    game.players[0].charge = -1;
    g.RunFrame();
    EXPECT_EQ(game.score, 10100);
    EXPECT_EQ(game.munchets, 1);
    EXPECT_EQ(game.level, 1);
    EXPECT_EQ(game.munchetList.size(), 3u);
    EXPECT_EQ(game.players[0].y, -192.0f);
    EXPECT_EQ(game.players[0].charge, 1.0f);
    EXPECT_EQ(SoundCount(g.game.effects, SoundEffect::NextLevel), 1);
}

TEST_F(CollisionsTest, MunchetsEatFoodFromTheEndAndCostPointsOnlyWithAScore) {
    Munchet& m = AddMunchet(0, 0);
    game.foodList = {Food(1, 1), Food(50, 0), Food(-9.9f, 0), Food(0, 10), Food(-50, 0)};
    game.EatingPass();
    ASSERT_EQ(game.foodList.size(), 3u);
    EXPECT_EQ(game.foodList[0].x, 50.0f);  // order kept
    EXPECT_EQ(game.foodList[1].x, 0.0f);
    EXPECT_EQ(game.foodList[2].x, -50.0f);
    EXPECT_EQ(m.splitTimer, 0.0f);  // two meals, 10 s each
    EXPECT_EQ(game.score, 0);
    EXPECT_EQ(game.food, 0);
    EXPECT_EQ(SoundCount(g.game.effects, SoundEffect::Food), 2);

    game.score = 4;
    game.foodList = {Food(1, 0), Food(2, 0), Food(3, 0)};
    game.EatingPass();
    EXPECT_EQ(game.score, -2);  // 4, 1, then -2: the third meal is free
    EXPECT_EQ(game.food, 2);
}

TEST_F(CollisionsTest, FoodInTheGoalIsSaved) {
    game.level = 2;
    game.foodList = {Food(33.9f, -286.2f), Food(34, -320), Food(0, -353.9f), Food(-20, -354)};
    game.GoalPass();
    ASSERT_EQ(game.foodList.size(), 2u);
    EXPECT_EQ(game.foodList[0].x, 34.0f);
    EXPECT_EQ(game.foodList[1].x, -20.0f);
    EXPECT_EQ(game.score, 90);
    EXPECT_EQ(game.food, -30);
    ASSERT_EQ(Sounds().size(), 2u);
    EXPECT_EQ(Sounds()[0].effect, SoundEffect::Saved);
    EXPECT_EQ(Sounds()[0].pan, 0);  // the later item first
    EXPECT_EQ(Sounds()[1].pan, 6);  // 33.9 / 512 * 100
}

}  // namespace
