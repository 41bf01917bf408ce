// Placeholder bodies until the score client is written.
#include "game/game.h"

void Game::SubmitScore() { FetchHighscores(); }
void Game::FetchHighscores() { highscores.clear(); }
void Game::NextPage() {}
void Game::PreviousPage() {}
