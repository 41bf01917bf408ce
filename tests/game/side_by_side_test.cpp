// Games share nothing: two stepped side by side in one process, by turns or
// on two threads at once, each reach the very state they reach alone.
#include <array>
#include <thread>

#include "sim_support.h"

namespace {

constexpr int Frames = 3000;

// A bot's game from its seed: one or two players, restarted when it ends.
struct BotGame {
    HeadlessGame g;
    Bot bot;

    BotGame(int seed, int players) : g(seed) {
        g.game.StartGame();
        if (players == 2) g.RunFrame(FrameInput{}.Hold(Key::F2));
    }
    void Step() {
        FrameInput input = bot.Input(g.game);
        if (g.game.nameEntry)
            input.Press(Key::Enter);
        else if (g.game.gameOver)
            input.Hold('R');
        g.RunFrame(input);
    }
};

enum class Together { ByTurns, OnTwoThreads };

class SideBySide : public ::testing::TestWithParam<Together> {};

TEST_P(SideBySide, EachGameReachesTheStateItReachesAlone) {
    const std::array<std::pair<int, int>, 2> games{{{101, 1}, {202, 2}}};
    std::array<std::uint64_t, 2> alone{};
    for (std::size_t i = 0; i < games.size(); ++i) {
        BotGame game(games[i].first, games[i].second);
        for (int frame = 0; frame < Frames; ++frame) game.Step();
        alone[i] = HashState(game.g.game);
    }
    ASSERT_NE(alone[0], alone[1]);

    BotGame first(games[0].first, games[0].second), second(games[1].first, games[1].second);
    if (GetParam() == Together::ByTurns) {
        for (int frame = 0; frame < Frames; ++frame) first.Step(), second.Step();
    } else {
        std::thread other([&] {
            for (int frame = 0; frame < Frames; ++frame) second.Step();
        });
        for (int frame = 0; frame < Frames; ++frame) first.Step();
        other.join();
    }
    EXPECT_EQ(HashState(first.g.game), alone[0]);
    EXPECT_EQ(HashState(second.g.game), alone[1]);
}

INSTANTIATE_TEST_SUITE_P(Games, SideBySide, ::testing::Values(Together::ByTurns, Together::OnTwoThreads),
                         [](const auto& info) {
                             return std::string(info.param == Together::ByTurns ? "byTurns" : "onTwoThreads");
                         });

}  // namespace
