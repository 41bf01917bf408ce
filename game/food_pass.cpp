#include <cmath>

#include "game/game.h"

// Every item in list order, each seeing the items before it already moved
// (the record's own update does exactly this with a scan of the whole list).
// The grid is filed before the pass, so a neighbour that has moved since is
// looked for within the flock radius plus the farthest any item has moved so
// far in this pass.
void Game::UpdateFood(float dt) {
    const std::span<Player> players = activePlayers();
    if (foodGrid.plainScan) {
        for (std::size_t i = 0; i < foodList.size(); ++i) foodList[i].update(dt, foodList, players);
        return;
    }
    foodGrid.build(foodList);
    float drift = 0;  // largest move along one axis of an item updated in this pass
    for (std::size_t i = 0; i < foodList.size(); ++i) {
        Food& item = foodList[i];
        foodGrid.forEachNear(item.x, item.y, flockRadius + drift, [&](std::uint32_t other) {
            const float d2 = item.distanceSquared(foodList[other]);
            foodGrid.distances[other] = d2;
            foodGrid.addHitIf(other, (d2 <= flockRadiusSquared) & (other != i));
        });
        FlockSums neighbours;
        foodGrid.takeHitsAscending(
            [&](std::uint32_t other) { neighbours.add(foodList[other], foodGrid.distances[other]); });
        const float oldX = item.x, oldY = item.y;
        item.steer(dt, neighbours, players);
        drift = std::max(drift, std::max(std::fabs(item.x - oldX), std::fabs(item.y - oldY)));
    }
}
