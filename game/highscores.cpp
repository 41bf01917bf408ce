// The highscore table the game shows: what the score client brings back, and
// the paging of it, one page of Game::PageSize rows.
#include <utility>

#include "game/game.h"

void Game::SubmitScore() {
    FetchHighscores();
    if (!playerName.empty())
        exchangeWanted->submission = ScoreSubmission{playerName, score, level, munchets, food};
}

void Game::FetchHighscores() {
    exchangeWanted = ScoreExchangeRequest{};
    // Nothing of the last table or the last fate is shown while the answer
    // is on its way.
    highscores.clear();
    highscoresUnavailable = false;
    submissionFate = SubmissionFate::None;
}

void Game::TakeExchange(ScoreExchangeResult result) {
    // A table that did not come whole is no table: an error page or half a
    // body would only show up as made-up rows.
    highscores = result.tableReceived ? std::move(result.rows) : std::vector<HighscoreEntry>{};
    highscoresUnavailable = !result.tableReceived;
    submissionFate = result.fate;
    exchangeWanted.reset();
}

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
