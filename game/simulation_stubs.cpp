// Placeholder bodies until the simulation records are written.
#include "game/game.h"

void Player::reset() {}
void Player::resetForLevel() {}
void Player::setPosition(float newX, float newY) { x = newX; y = newY; }
void Player::setKeys(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t) {}
void Player::update(float) {}
float Player::attractRadius() const { return 48.0f; }
bool Player::isVulnerable() const { return true; }
void Player::drain(float) {}
void Munchet::init(const Game&) {}
float Munchet::splitDelay(const Game&) { return 0; }
void Munchet::place(float, float) {}
void Munchet::chooseTarget() {}
void Munchet::move(float, int) {}
void Munchet::trySplit(std::vector<Munchet>&, const Game&) {}
void Munchet::feed() {}
void Food::update(float, const std::vector<Food>&, std::span<Player>) {}
void FoodSource::Step() {}
void Game::SetupLevel() { foodSources.resize(2); }
void Game::ContactPass() {}
void Game::EatingPass() {}
void Game::GoalPass() {}
