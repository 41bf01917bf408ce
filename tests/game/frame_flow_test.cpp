// The order of one frame and the states of a game: what each key does where,
// and when food spawns.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/random.h"
#include "game/food_spawn.h"
#include "tests/support/headless_game.h"

namespace {

constexpr int Seed = 99;

FrameInput Held(int key) { return FrameInput{}.Hold(key); }
FrameInput Pressed(int key) { return FrameInput{}.Press(key); }
FrameInput Typed(char c) { return FrameInput{}.Press(c >= 'a' && c <= 'z' ? c - 32 : c).Type(c); }

// The name-entry screen, as the contact pass leaves it after a scoring game.
void EnterNameEntry(Game& game) {
    game.gameOver = true;
    game.nameEntry = true;
    game.score = 120;
}

}  // namespace

TEST(FrameOrder, EscapeEndsTheRunBeforeAnythingElseHappens) {
    // The draw that follows the set-up, in a run without the Escape frame.
    int nextDraw = 0;
    {
        HeadlessGame reference(Seed);
        reference.game.StartGame();
        nextDraw = reference.game.random.Int(0, 1 << 30);
    }

    HeadlessGame g(Seed);
    g.game.musicVolume = Game::StartVolume;
    g.game.StartGame();
    const auto foodBefore = g.game.foodList.size();
    const float timeBefore = g.game.gameTime;

    EXPECT_TRUE(g.RunFrame(FrameInput{}.Hold(Key::Escape).Press('M')));
    EXPECT_EQ(g.game.musicVolume, 60) << "no volume change in an ending frame";
    EXPECT_FALSE(g.game.effects.musicVolume.has_value());
    EXPECT_TRUE(g.game.effects.sounds.empty());
    EXPECT_EQ(g.game.foodList.size(), foodBefore);
    EXPECT_EQ(g.game.gameTime, timeBefore);
    EXPECT_EQ(g.game.random.Int(0, 1 << 30), nextDraw) << "not a single random number was drawn";
}

TEST(FrameOrder, HoldingF1RestartsInEveryFrameUntilReleased) {
    HeadlessGame g(Seed);
    g.game.playerCount = 2;
    g.game.StartGame();
    g.game.score = 500;
    g.game.level = 3;

    for (int frame = 0; frame < 3; ++frame) {
        g.RunFrame(Held(Key::F1));
        EXPECT_EQ(g.game.playerCount, 1);
        EXPECT_EQ(g.game.score, 0);
        EXPECT_EQ(g.game.level, 0);
        EXPECT_FLOAT_EQ(g.game.gameTime, 0.01f) << "the clock restarts in every frame the key is held";
    }
    g.RunFrames(2);
    EXPECT_FLOAT_EQ(g.game.gameTime, 0.03f) << "play runs on once the key is released";
}

TEST(FrameOrder, BothRestartKeysLeaveTheTwoPlayerGame) {
    HeadlessGame g(Seed);
    g.game.StartGame();
    g.RunFrame(FrameInput{}.Hold(Key::F1).Hold(Key::F2));
    EXPECT_EQ(g.game.playerCount, 2);
}

TEST(FrameOrder, TimersRunInEveryState) {
    HeadlessGame g(Seed);
    g.game.StartGame();
    g.RunFrames(10);
    EnterNameEntry(g.game);
    g.RunFrames(10);
    g.game.nameEntry = false;
    g.RunFrames(10);
    EXPECT_NEAR(g.game.gameTime, 0.3f, 1e-5f);
    EXPECT_NEAR(g.game.levelTime, 0.3f, 1e-5f);
}

TEST(NameEntry, AcceptsPrintableCharactersButNotTheTableSeparators) {
    HeadlessGame g(Seed);
    g.game.StartGame();
    EnterNameEntry(g.game);
    for (const char c : std::string("a;b<c>d %")) g.RunFrame(Typed(c));
    EXPECT_EQ(g.game.playerName, "abcd %");
    EXPECT_TRUE(g.game.nameEntry);
}

TEST(NameEntry, HoldsAtMostTwentyCharacters) {
    HeadlessGame g(Seed);
    g.game.StartGame();
    EnterNameEntry(g.game);
    for (int i = 0; i < 25; ++i) g.RunFrame(Typed(static_cast<char>('a' + i)));
    EXPECT_EQ(g.game.playerName, "abcdefghijklmnopqrst");
}

TEST(NameEntry, BackspaceAndDeleteRemoveTheLastCharacter) {
    HeadlessGame g(Seed);
    g.game.StartGame();
    EnterNameEntry(g.game);
    g.RunFrame(Pressed(Key::Backspace));
    EXPECT_EQ(g.game.playerName, "") << "nothing to remove from an empty name";
    for (const char c : std::string("abc")) g.RunFrame(Typed(c));
    g.RunFrame(Pressed(Key::Backspace));
    EXPECT_EQ(g.game.playerName, "ab");
    g.RunFrame(Pressed(Key::Delete));
    EXPECT_EQ(g.game.playerName, "a");
}

TEST(NameEntry, TheLetterMIsTypedNotAVolumeChange) {
    HeadlessGame g(Seed);
    g.game.musicVolume = Game::StartVolume;
    g.game.StartGame();
    EnterNameEntry(g.game);
    g.RunFrame(Typed('M'));
    EXPECT_EQ(g.game.playerName, "M");
    EXPECT_EQ(g.game.musicVolume, 60);
    EXPECT_FALSE(g.game.effects.musicVolume.has_value());
}

TEST(NameEntry, TheLastNameIsOfferedAgainNextTime) {
    HeadlessGame g(Seed);
    g.game.StartGame();
    g.game.playerName = "zed";
    g.RunFrame(Held(Key::F1));
    EnterNameEntry(g.game);
    g.RunFrame(Typed('x'));
    EXPECT_EQ(g.game.playerName, "zedx");
}

TEST(NameEntry, ControlAndNonAsciiCharactersAreIgnored) {
    HeadlessGame g(Seed);
    g.game.StartGame();
    EnterNameEntry(g.game);
    g.RunFrame(FrameInput{}.Type('\t'));
    g.RunFrame(FrameInput{}.Type(static_cast<char>(0xE9)));
    g.RunFrame(FrameInput{}.Type(127));
    EXPECT_EQ(g.game.playerName, "");
}

TEST(TableScreen, EnterDoesNothingWhileTheTableIsShown) {
    HeadlessGame g(Seed);
    g.game.StartGame();
    g.game.gameOver = true;
    g.game.highscores = {{"kept", 5}};
    g.game.firstRow = 10;
    g.RunFrame(Pressed(Key::Enter));
    EXPECT_TRUE(g.game.gameOver);
    EXPECT_EQ(g.game.firstRow, 10);
    ASSERT_EQ(g.game.highscores.size(), 1u) << "no table request was made";
}

TEST(TableScreen, RAndSpaceStartANewGameWithTheSamePlayers) {
    for (const int key : {static_cast<int>('R'), Key::Space}) {
        HeadlessGame g(Seed);
        g.game.playerCount = 2;
        g.game.StartGame();
        g.game.gameOver = true;
        g.game.score = 77;
        g.RunFrame(Held(key));
        EXPECT_FALSE(g.game.gameOver);
        EXPECT_EQ(g.game.score, 0);
        EXPECT_EQ(g.game.playerCount, 2);
    }
}

TEST(TableScreen, RestartKeysDoNothingWhileANameIsTyped) {
    HeadlessGame g(Seed);
    g.game.StartGame();
    EnterNameEntry(g.game);
    g.RunFrame(Held(Key::Space));
    EXPECT_TRUE(g.game.gameOver);
    EXPECT_EQ(g.game.playerName, "") << "a held key without a typed character adds nothing";
}

TEST(MusicVolume, EachPressOfMStepsTheCycleAndAsksForTheMusicToGlide) {
    HeadlessGame g(Seed);
    g.game.musicVolume = Game::StartVolume;
    g.game.StartGame();
    for (const int expected : {80, 100, 0, 20, 40, 60}) {
        g.RunFrame(Pressed('M'));
        EXPECT_EQ(g.game.musicVolume, expected);
        EXPECT_EQ(g.game.effects.musicVolume, expected);
    }
    g.RunFrame();
    EXPECT_FALSE(g.game.effects.musicVolume.has_value()) << "asked once, in the frame of the key";
}

TEST(MusicVolume, TheKeyWorksOnTheTableScreen) {
    HeadlessGame g(Seed);
    g.game.musicVolume = Game::StartVolume;
    g.game.StartGame();
    g.game.gameOver = true;
    g.RunFrame(Pressed('M'));
    EXPECT_EQ(g.game.musicVolume, 80);
}

TEST(FoodSpawn, ThresholdIsExactNotRoundedToFloat) {
    // At 0 items the threshold is the float 0.9 itself; only draws above it spawn.
    EXPECT_FALSE(FoodSpawnDrawSucceeds(0.9f, 0));
    EXPECT_TRUE(FoodSpawnDrawSucceeds(std::nextafter(0.9f, 1.0f), 0));
    // At 2 items the exact threshold 0.900399976148... lies below the float
    // 0.90039998292922974, which a float threshold would equal and refuse.
    EXPECT_TRUE(FoodSpawnDrawSucceeds(0.90039998292922974f, 2));
    EXPECT_FALSE(FoodSpawnDrawSucceeds(std::nextafter(0.90039998292922974f, 0.0f), 2));
    // At 500 only a draw of exactly 1 passes; from 501 on nothing does.
    EXPECT_TRUE(FoodSpawnDrawSucceeds(1.0f, 500));
    EXPECT_FALSE(FoodSpawnDrawSucceeds(std::nextafter(1.0f, 0.0f), 500));
    EXPECT_FALSE(FoodSpawnDrawSucceeds(1.0f, 501));
}

TEST(FoodSpawn, EachFrameDrawsOnceAndTheFirstItemComesWithTheFirstHighDraw) {
    // No munchets and a frozen field: the spawn draw is the frame's only one
    // until an item appears, so a twin generator predicts that frame.
    HeadlessGame g(Seed);
    g.game.gameOver = true;
    g.game.foodSources.resize(2);
    g.game.foodSources[0].setPosition(320, -64);
    g.game.foodSources[1].setPosition(-320, -64);

    RandomGenerator twin;
    twin.Seed(Seed);
    int expectedFrame = 0;
    while (!FoodSpawnDrawSucceeds(twin.Float(0.0f, 1.0f), 0)) ++expectedFrame;

    int frame = 0;
    while (g.game.foodList.empty() && frame < 1000) {
        g.RunFrame();
        ++frame;
    }
    EXPECT_EQ(frame - 1, expectedFrame);
    ASSERT_EQ(g.game.foodList.size(), 1u);
    const Food& item = g.game.foodList[0];
    EXPECT_EQ(item.vx, 0.0f) << "a new item starts at rest";
    EXPECT_EQ(item.vy, 0.0f);
    // It stands where its source stepped to.
    bool atASource = false;
    for (const FoodSource& source : g.game.foodSources)
        atASource |= item.x == static_cast<float>(source.x) && item.y == static_cast<float>(source.y);
    EXPECT_TRUE(atASource);
}

TEST(FoodSpawn, FoodKeepsAppearingAfterTheGameIsOver) {
    HeadlessGame g(Seed);
    g.game.StartGame();
    g.game.gameOver = true;
    g.RunFrames(300);
    EXPECT_GT(g.game.foodList.size(), 10u) << "about ten items a second";
    EXPECT_LT(g.game.foodList.size(), 60u);
}
