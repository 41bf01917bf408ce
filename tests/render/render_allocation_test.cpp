// Drawing a frame allocates nothing once the engine's quad record has grown:
// names, the prompt and the volume bar are built in fixed buffers.
#include <gtest/gtest.h>

#include "app/load_resources.h"
#include "tests/render/allocation_counter.h"
#include "tests/render/render_support.h"

namespace {

// Allocations made by the second of two identical renders.
int allocationsOfASteadyRender(RenderedGame& g) {
    g.render();
    allocation_counter::Start();
    g.render();
    return allocation_counter::Stop();
}

TEST(RenderAllocation, SteadyFramesAllocateNothing) {
    RenderedGame g;
    LoadResources(*g.engine, g.scene, g.audio);
    Game& game = g.game;
    game.StartGame();
    game.foodList.assign(300, Food(5, 5));

    EXPECT_EQ(allocationsOfASteadyRender(g), 0) << "play with help";

    game.gameOver = game.nameEntry = true;
    game.playerName = "A rather long name!!";
    EXPECT_EQ(allocationsOfASteadyRender(g), 0) << "name entry";

    game.nameEntry = false;
    for (int i = 0; i < 12; ++i)
        game.highscores.push_back({i % 2 ? "A rather long name!!" : "someone else", i});
    game.firstRow = 2;
    game.highscoresUnavailable = true;
    game.submissionFate = SubmissionFate::Kept;
    game.level = 3;
    game.levelTime = 1;
    EXPECT_EQ(allocationsOfASteadyRender(g), 0) << "table";
}

}  // namespace
