// The grid-based neighbour search against the plain scans: the same games,
// bit for bit, sounds included.
#include <cmath>

#include "sim_support.h"

namespace {

// One hash per frame of a bot game: the whole state and the frame's sounds.
std::vector<std::uint64_t> PlayRecorded(bool plainScan, int seed, float frameTime, int players, int frames) {
    HeadlessOptions options;
    options.frameTime = frameTime;
    HeadlessGame g(seed, options);
    g.game.foodGrid.plainScan = plainScan;
    g.game.StartGame();
    if (players == 2) g.RunFrame(FrameInput{}.Hold(Key::F2));
    Bot bot;
    std::vector<std::uint64_t> hashes;
    for (int frame = 0; frame < frames; ++frame) {
        FrameInput input = bot.Input(g.game);
        if (g.game.gameOver) input.Hold('R');
        g.RunFrame(input);
        StateHash h;
        h.add(HashState(g.game));
        for (const SoundRequest& s : g.game.effects.sounds) h.add(s.effect), h.add(s.pan), h.add(s.pitch);
        hashes.push_back(h.value);
    }
    return hashes;
}

void ExpectSameGames(int seed, float frameTime, int players, int frames) {
    const std::vector<std::uint64_t> grid = PlayRecorded(false, seed, frameTime, players, frames);
    const std::vector<std::uint64_t> plain = PlayRecorded(true, seed, frameTime, players, frames);
    for (int frame = 0; frame < frames; ++frame)
        ASSERT_EQ(grid[static_cast<std::size_t>(frame)], plain[static_cast<std::size_t>(frame)])
            << "first difference in frame " << frame;
}

TEST(FoodGrid, PlaysTheSameGamesAsThePlainScan) {
    ExpectSameGames(31, 0.01f, 2, 12000);
    ExpectSameGames(32, 0.01f, 1, 8000);
}

TEST(FoodGrid, PlaysTheSameGamesWithLongFramesThatWidenTheSearch) { ExpectSameGames(33, 0.045f, 2, 3000); }

TEST(FoodGrid, MatchesThePlainScanInACrowdAtTheEdgesAndOnTopOfEachOther) {
    HeadlessGame g(34);
    Game& game = g.game;
    game.playerCount = 2;
    game.StartGame();
    game.players[0].setPosition(-496, -368);  // the corner: items pile up against the clamp
    game.players[1].setPosition(100, 0);
    for (Player& p : game.activePlayers()) p.focusing = true, p.charge = 30;
    for (int i = 0; i < 501; ++i) {
        const Player& p = game.players[static_cast<std::size_t>(i % 2)];
        // Every fifth item lands exactly on another one.
        const float a = static_cast<float>(i / 5 * 5 % 97), r = static_cast<float>(i / 5 * 5 % 61);
        game.foodList.emplace_back(p.x + r * std::cos(a), p.y + r * std::sin(a));
    }
    for (float dt : {0.01f, 0.3f, 0.01f}) {
        Game plain = game;
        plain.foodGrid.plainScan = true;
        game.UpdateFood(dt);
        plain.UpdateFood(dt);
        ASSERT_EQ(HashState(game), HashState(plain)) << dt;
    }
}

}  // namespace
