#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/game.h"

namespace {

Game withRows(int count, std::int32_t firstRow = 0) {
    Game game;
    for (int i = 0; i < count; ++i) game.highscores.push_back({"p" + std::to_string(i), 100 - i});
    game.firstRow = firstRow;
    return game;
}

std::vector<std::int32_t> pageStarts(Game& game, void (Game::*turn)(), int turns) {
    std::vector<std::int32_t> starts;
    for (int i = 0; i < turns; ++i) {
        (game.*turn)();
        starts.push_back(game.firstRow);
    }
    return starts;
}

}  // namespace

TEST(HighscorePaging, WrapsBothWaysOnAPartLastPage) {
    Game game = withRows(25);
    EXPECT_EQ(pageStarts(game, &Game::NextPage, 4), (std::vector<std::int32_t>{10, 20, 0, 10}));
    game.firstRow = 0;
    EXPECT_EQ(pageStarts(game, &Game::PreviousPage, 4), (std::vector<std::int32_t>{20, 10, 0, 20}));
}

TEST(HighscorePaging, BackFromTheFirstPageIsTheLastAndOnFromThereIsTheFirst) {
    const struct {
        int rows;
        std::int32_t lastPage;
    } cases[] = {{30, 20}, {101, 100}, {0, 0}, {10, 0}, {11, 10}};
    for (const auto& c : cases) {
        Game game = withRows(c.rows);
        game.PreviousPage();
        EXPECT_EQ(game.firstRow, c.lastPage) << c.rows << " rows";
        game.NextPage();
        EXPECT_EQ(game.firstRow, 0) << c.rows << " rows";
    }
    Game longest = withRows(101);
    EXPECT_EQ(pageStarts(longest, &Game::NextPage, 11).back(), 0);
}

TEST(HighscorePaging, APageLeftPastAShortenedTableComesBack) {
    // A table of 25 rows fetched while page 40 of a longer one was shown.
    Game game = withRows(25, 40);
    game.NextPage();
    EXPECT_EQ(game.firstRow, 0);
    game.firstRow = 40;
    EXPECT_EQ(pageStarts(game, &Game::PreviousPage, 3), (std::vector<std::int32_t>{30, 20, 10}));
}
