// Placeholder bodies until the drawing is written.
#include "game/game.h"

bool Game::Render() { return false; }
void Player::Draw() const {}
void Munchet::Draw() const {}
void Food::Draw() const {}
void LoadResources() {}
