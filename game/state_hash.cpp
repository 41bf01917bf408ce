#include "game/state_hash.h"

#include "game/game.h"

std::uint64_t HashState(const Game& game) {
    StateHash h;
    for (const Player& p : game.players) {
        h.add(p.x), h.add(p.y), h.add(p.vx), h.add(p.vy), h.add(p.charge), h.add(p.focusing),
            h.add(p.pulseTimer);
    }
    for (const Munchet& m : game.munchetList) {
        h.add(m.x), h.add(m.y), h.add(m.targetX), h.add(m.targetY), h.add(m.heading), h.add(m.splitTimer);
    }
    for (const Food& f : game.foodList) h.add(f.x), h.add(f.y), h.add(f.vx), h.add(f.vy);
    for (const FoodSource& s : game.foodSources)
        h.add(s.x), h.add(s.y), h.add(s.dirX), h.add(s.dirY), h.add(s.stepsLeft);
    h.add(game.level), h.add(game.score), h.add(game.food), h.add(game.munchets), h.add(game.gameOver),
        h.add(game.gameTime), h.add(game.levelTime);
    return h.value;
}
