// Long scripted games checked after every frame against the rules that must
// always hold, whatever the players do.
#include <cmath>
#include <cstdio>

#include "sim_support.h"

namespace {

bool Finite(float v) { return std::isfinite(v); }

// Checks every invariant; returns false (with a gtest failure) at the first
// broken one so a long run stops early.
bool CheckInvariants(const Game& game, int frame) {
    const std::int64_t expected =
        100LL * game.munchets + 5000LL * game.level * (game.level + 1) - 3LL * game.food;
    EXPECT_EQ(game.score, expected) << "frame " << frame;
    EXPECT_FALSE(game.munchetList.empty()) << "frame " << frame;
    EXPECT_TRUE(game.gameOver || !game.nameEntry) << "frame " << frame;
    EXPECT_LE(game.foodList.size(), 501u) << "frame " << frame;
    EXPECT_EQ(game.foodSources.size(), 2u) << "frame " << frame;
    for (const Player& p : game.activePlayers()) {
        EXPECT_TRUE(Finite(p.vx) && Finite(p.vy) && Finite(p.charge)) << "frame " << frame;
        EXPECT_TRUE(std::fabs(p.x) <= 496 && std::fabs(p.y) <= 368) << "frame " << frame;
        EXPECT_LE(p.charge, 30.0f) << "frame " << frame;
    }
    for (const Food& f : game.foodList) {
        EXPECT_TRUE(std::fabs(f.x) <= 510 && std::fabs(f.y) <= 382) << "frame " << frame;
        EXPECT_LE(std::sqrt(f.vx * f.vx + f.vy * f.vy), 100.001f) << "frame " << frame;
    }
    for (const Munchet& m : game.munchetList) {
        EXPECT_TRUE(std::fabs(m.targetX) <= 504 && std::fabs(m.targetY) <= 376) << "frame " << frame;
        EXPECT_TRUE(std::fabs(m.x) <= 504 && std::fabs(m.y) <= 376) << "frame " << frame;
        EXPECT_TRUE(Finite(m.heading) && Finite(m.splitTimer)) << "frame " << frame;
    }
    for (std::size_t i = 0; i < game.foodSources.size(); ++i) {
        // Each source stays on the 24-unit grid through its start point.
        const FoodSource& s = game.foodSources[i];
        EXPECT_TRUE(s.x >= -448 && s.x <= 448 && s.y >= -256 && s.y <= 320) << "frame " << frame;
        EXPECT_EQ((s.x + (i == 0 ? -320 : 320)) % 24, 0) << "frame " << frame;
        EXPECT_EQ((s.y + 64) % 24, 0) << "frame " << frame;
    }
    return !::testing::Test::HasFailure();
}

struct RunSummary {
    int games = 0, maxLevel = 0;
};

// Plays frames with the bot; a finished game is left through the name entry
// (Enter) and the table (R), so one run covers several games.
RunSummary PlayAndCheck(int seed, int players, int frames) {
    HeadlessGame g(seed);
    g.game.StartGame();
    if (players == 2) g.RunFrame(FrameInput{}.Hold(Key::F2));
    RunSummary summary;
    Bot bot;
    for (int frame = 0; frame < frames; ++frame) {
        FrameInput input = bot.Input(g.game);
        if (g.game.gameOver) {
            if (g.game.nameEntry)
                input.Press(Key::Enter);
            else
                input.Hold('R');
            ++summary.games;
        }
        g.RunFrame(input);
        summary.maxLevel = std::max(summary.maxLevel, g.game.level);
        if (!CheckInvariants(g.game, frame)) break;
    }
    std::printf("seed %d, %d player(s): %d games ended, highest level %d\n", seed, players, summary.games,
                summary.maxLevel);
    return summary;
}

TEST(Invariants, HoldThroughLongOnePlayerGames) {
    const RunSummary s = PlayAndCheck(7, 1, 30000);
    EXPECT_GE(s.maxLevel, 2);
}

TEST(Invariants, HoldThroughLongTwoPlayerGames) {
    const RunSummary s = PlayAndCheck(99, 2, 30000);
    EXPECT_GE(s.maxLevel, 2);
}

}  // namespace
