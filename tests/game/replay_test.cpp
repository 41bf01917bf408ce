// Recorded games that must play out exactly as they did when they were
// pinned: any change to the rules that moves a single float changes the
// final hash. Regenerate the expected values only for an intended change.
// The bot of sim_support.h and the key cycle below are part of the
// recordings: changing them changes the games.
#include <cinttypes>
#include <cstdio>

#include "sim_support.h"

namespace {

struct Recording {
    const char* name;
    int seed;
    float frameTime;
    int players;
    bool bot;  // the scripted bot, else a fixed cycle of keys
    int frames;
    // The final state it must reach.
    std::int32_t score, level, food, munchets;
    std::size_t munchetCount, foodCount;
    bool gameOver;
    std::uint64_t hash;
};

void PrintTo(const Recording& r, std::ostream* os) { *os << r.name; }

// Keys that change every 37 frames through a fixed cycle, with focus held in
// every third phase.
FrameInput CycleInput(const Game& game, int frame) {
    static const int directions[][2] = {{Key::Left, 0}, {Key::Up, 0},         {Key::Right, Key::Down}, {0, 0},
                                        {Key::Down, 0}, {Key::Left, Key::Up}, {Key::Right, 0}};
    FrameInput input;
    const int phase = frame / 37;
    for (int key : directions[phase % 7])
        if (key) input.Hold(key);
    if (phase % 3 == 2) input.Hold(game.players[0].focusKey);
    return input;
}

class Replay : public ::testing::TestWithParam<Recording> {};

TEST_P(Replay, ReachesThePinnedState) {
    const Recording& r = GetParam();
    HeadlessOptions options;
    options.frameTime = r.frameTime;
    HeadlessGame g(r.seed, options);
    g.game.StartGame();
    if (r.players == 2) g.RunFrame(FrameInput{}.Hold(Key::F2));
    Bot bot;
    for (int frame = 0; frame < r.frames; ++frame) {
        FrameInput input = r.bot ? bot.Input(g.game) : CycleInput(g.game, frame);
        if (g.game.gameOver) {  // leave the name entry and the table: a new game
            if (g.game.nameEntry)
                input.Press(Key::Enter);
            else
                input.Hold('R');
        }
        g.RunFrame(input);
    }
    const Game& game = g.game;
    EXPECT_EQ(game.score, r.score);
    EXPECT_EQ(game.level, r.level);
    EXPECT_EQ(game.food, r.food);
    EXPECT_EQ(game.munchets, r.munchets);
    EXPECT_EQ(game.munchetList.size(), r.munchetCount);
    EXPECT_EQ(game.foodList.size(), r.foodCount);
    EXPECT_EQ(game.gameOver, r.gameOver);
    EXPECT_EQ(HashState(game), r.hash);
    // The line to pin, should the rules be changed on purpose.
    if (HasFailure())
        std::printf("{\"%s\", %d, %.9gf, %d, %s, %d, %d, %d, %d, %d, %zu, %zu, %s, 0x%016" PRIx64 "ULL},\n",
                    r.name, r.seed, static_cast<double>(r.frameTime), r.players, r.bot ? "true" : "false",
                    r.frames, game.score, game.level, game.food, game.munchets, game.munchetList.size(),
                    game.foodList.size(), game.gameOver ? "true" : "false", HashState(game));
}

const Recording recordings[] = {
    {"botOnePlayer", 11, 0.01f, 1, true, 9000, 15159, 1, -353, 41, 23, 154, false, 0xe24e37c86e8d2e72ULL},
    {"botTwoPlayers", 12, 0.01f, 2, true, 9000, 66562, 3, -1154, 31, 33, 100, false, 0x39dd7372de1e9984ULL},
    {"cycleSixtyHertz", 13, 1.0f / 60, 1, false, 3000, 1185, 0, -395, 0, 5, 154, false,
     0x3189454bd0c4c6f5ULL},
};

INSTANTIATE_TEST_SUITE_P(Games, Replay, ::testing::ValuesIn(recordings),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
