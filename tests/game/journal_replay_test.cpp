// A whole game journalled as it is played and played back from the journal
// alone reaches the very same state: the seed is not needed, only the random
// state the journal began with, and every frame's keys and frame time.
#include <cmath>

#include "engine/input_journal.h"
#include "sim_support.h"

namespace {

struct Played {
    InputJournal journal;
    std::uint64_t hash = 0;
    std::int32_t score = 0, level = 0, food = 0, munchets = 0;
};

// Frame times that wander over the whole range, with some that must be
// bounded (0, negative, NaN, too long).
float WanderingFrameTime(int frame) {
    switch (frame % 97) {
        case 0:
            return 0.0f;
        case 1:
            return -0.02f;
        case 2:
            return std::nanf("");
        case 3:
            return 0.4f;
        default:
            return 0.004f + 0.0003f * static_cast<float>(frame % 41);
    }
}

class JournalReplay : public ::testing::TestWithParam<int> {};

TEST_P(JournalReplay, ReachesTheStateOfThePlayedGame) {
    const int players = GetParam();
    Played played;
    {
        HeadlessGame g(4321 + players);
        played.journal.Begin(g.game.random.GetState());
        const auto run = [&](const FrameInput& input) {
            g.RunFrame(input);
            played.journal.Append(g.lastInput);
        };
        g.game.StartGame();
        run(FrameInput{}.Hold(players == 2 ? Key::F2 : Key::F1));
        Bot bot;
        for (int frame = 0; frame < 4000; ++frame) {
            FrameInput input = bot.Input(g.game).Lasting(WanderingFrameTime(frame));
            if (g.game.nameEntry)
                input.Press(frame % 2 ? Key::Enter : 'A').Type('a');
            else if (g.game.gameOver)
                input.Hold(Key::Space);
            run(input);
        }
        played.hash = HashState(g.game);
        played.score = g.game.score, played.level = g.game.level;
        played.food = g.game.food, played.munchets = g.game.munchets;
    }
    EXPECT_EQ(played.journal.frames, 4001u);
    EXPECT_LT(played.journal.bytes.size(), 4001u * 8) << "a few bytes a frame";

    HeadlessGame replay(1);  // another seed: the journal's random state replaces it
    std::string error;
    ASSERT_TRUE(CheckJournal(played.journal, error)) << error;
    replay.game.random.SetState(played.journal.startRandom);
    replay.game.StartGame();
    replay.PlayJournal(played.journal);
    EXPECT_EQ(replay.game.score, played.score);
    EXPECT_EQ(replay.game.level, played.level);
    EXPECT_EQ(replay.game.food, played.food);
    EXPECT_EQ(replay.game.munchets, played.munchets);
    EXPECT_EQ(HashState(replay.game), played.hash);
}

INSTANTIATE_TEST_SUITE_P(Players, JournalReplay, ::testing::Values(1, 2));

}  // namespace
