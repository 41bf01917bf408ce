#include <cmath>

#include "game/constants.h"
#include "game/game.h"

// Every scan below walks its list from the end, so erasing the element at
// hand leaves the ones still to visit where they were.

namespace {

constexpr float ghostContact = (playerRadius + munchetRadius) * (playerRadius + munchetRadius);  // 576
constexpr float mealContact = (munchetRadius + foodRadius) * (munchetRadius + foodRadius);       // 100
constexpr float goalX = 0.0f, goalY = -320.0f;
constexpr float goalHalfSize = 34.0f;

float squaredDistance(float ax, float ay, float bx, float by) {
    const float dx = ax - bx;
    const float dy = ay - by;
    return dx * dx + dy * dy;
}

}  // namespace

void Game::ContactPass() {
    // Several munchets may catch ghosts in one frame; the table is asked for
    // once, not once per catch.
    bool tableFetched = false;
    for (Player& player : activePlayers()) {
        for (std::size_t i = munchetList.size(); i-- > 0;) {
            const Munchet& munchet = munchetList[i];
            if (!(squaredDistance(munchet.x, munchet.y, player.x, player.y) < ghostContact)) continue;
            const float at = munchet.x;
            if (player.isVulnerable()) {
                // The munchet stays; further catches in this frame play again.
                gameOver = true;
                nameEntry = score > 0;
                if (score <= 0 && !tableFetched) {
                    FetchHighscores();
                    tableFetched = true;
                }
                effects.Play(SoundEffect::Dead, at);
            } else {
                effects.Play(SoundEffect::MunchetEaten, at);
                munchetList.erase(munchetList.begin() + static_cast<std::ptrdiff_t>(i));
                score += 100 * (level + 1);
                munchets += level + 1;
            }
        }
    }
    if (munchetList.empty()) {
        effects.Play(SoundEffect::NextLevel, 0.0f);
        NextLevel();
    }
}

void Game::EatingPass() {
    if (foodGrid.plainScan) {
        for (std::size_t m = munchetList.size(); m-- > 0;) {
            Munchet& munchet = munchetList[m];
            for (std::size_t f = foodList.size(); f-- > 0;) {
                const Food& item = foodList[f];
                if (squaredDistance(munchet.x, munchet.y, item.x, item.y) < mealContact) {
                    foodList.erase(foodList.begin() + static_cast<std::ptrdiff_t>(f));
                    Eat(munchet);
                }
            }
        }
        return;
    }
    // The same meals in the same order: scanning the items from the last,
    // skipping those already eaten, visits what the shrinking list would
    // hold; the eaten items are dropped together at the end, the others
    // keeping their order.
    if (munchetList.empty() || foodList.empty()) return;
    foodGrid.build(foodList);
    for (std::size_t m = munchetList.size(); m-- > 0;) {
        Munchet& munchet = munchetList[m];
        foodGrid.forEachNear(munchet.x, munchet.y, munchetRadius + foodRadius, [&](std::uint32_t f) {
            const Food& item = foodList[f];
            if (!foodGrid.eaten[f] && squaredDistance(munchet.x, munchet.y, item.x, item.y) < mealContact)
                foodGrid.addHit(f);
        });
        foodGrid.takeHitsDescending([&](std::uint32_t f) {
            foodGrid.eaten[f] = 1;
            Eat(munchet);
        });
    }
    std::size_t kept = 0;
    for (std::size_t f = 0; f < foodList.size(); ++f)
        if (!foodGrid.eaten[f]) foodList[kept++] = foodList[f];
    foodList.resize(kept);
}

void Game::Eat(Munchet& munchet) {
    effects.Play(SoundEffect::Food, munchet.x);
    munchet.feed();
    // Eating costs nothing while the score is not positive.
    if (score > 0) {
        food += 1;
        score -= 3;
    }
}

void Game::GoalPass() {
    for (std::size_t f = foodList.size(); f-- > 0;) {
        const Food& item = foodList[f];
        // Same as comparing the truncated absolute values with 34.
        if (!(std::fabs(item.x - goalX) < goalHalfSize && std::fabs(item.y - goalY) < goalHalfSize)) continue;
        effects.Play(SoundEffect::Saved, item.x);
        foodList.erase(foodList.begin() + static_cast<std::ptrdiff_t>(f));
        score += 15 * (level + 1);
        food -= 5 * (level + 1);
    }
}
