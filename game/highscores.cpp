// Paging of the table on the game-over screen, one page of Game::PageSize rows.
#include "game/game.h"

void Game::NextPage() {
    const auto count = static_cast<std::int32_t>(highscores.size());
    firstRow += PageSize;
    // From the last page back to the first. This also brings a firstRow left
    // past the end by a shorter table back to the top.
    if (firstRow >= count) firstRow = 0;
}

void Game::PreviousPage() {
    const auto count = static_cast<std::int32_t>(highscores.size());
    firstRow -= PageSize;
    // From the first page on to the last; an empty table has only page 0.
    if (firstRow < 0) firstRow = count == 0 ? 0 : (count - 1) / PageSize * PageSize;
}
