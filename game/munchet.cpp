#include "game/munchet.h"

#include <cmath>

#include "game/clamp.h"
#include "game/constants.h"
#include "game/game.h"
#include "game/rules_math.h"

namespace {

constexpr float minStride = 40.0f, maxStride = 100.0f;  // units
constexpr float maxTurn = 1.57f;                        // radians per stride
constexpr float minSplitWait = 15.0f, maxSplitWait = 30.0f;
constexpr float feedHurry = 10.0f;      // seconds a meal takes off the split timer
constexpr float slowdownFrames = 5.0f;  // a target this many steps away is reached

}  // namespace

void Munchet::init(Game& game) {
    x = 0;
    y = 0;
    targetX = 0;
    targetY = 0;
    heading = game.random.Float(-3.14f, 3.14f);
    splitTimer = splitDelay(game);
}

float Munchet::splitDelay(Game& game) {
    const float wait = game.levelTime + static_cast<float>(game.munchetList.size());
    return wait + game.random.Float(minSplitWait, maxSplitWait);
}

void Munchet::place(float newX, float newY, RandomGenerator& random) {
    x = newX;
    y = newY;
    chooseTarget(random);
}

void Munchet::chooseTarget(RandomGenerator& random) {
    const float stride = random.Float(minStride, maxStride);
    heading = heading + random.Float(-maxTurn, maxTurn);
    targetX = x + RulesCos(heading) * stride;
    targetY = y + RulesSin(heading) * stride;
    // Every target lies inside, so the munchet itself never needs a clamp.
    clampTo(targetX, munchetRadius - halfWidth, halfWidth - munchetRadius);
    clampTo(targetY, munchetRadius - halfHeight, halfHeight - munchetRadius);
}

void Munchet::move(float dt, int level, RandomGenerator& random) {
    const float speed = static_cast<float>(5 * level + 50);
    const float step = speed * dt;
    const float dx = x - targetX;
    const float dy = y - targetY;
    const float dist = std::sqrt(dx * dx + dy * dy);
    // Standing exactly on the target counts as arrived even when the step is
    // zero: the direction dx / dist would be 0 / 0.
    if (slowdownFrames * step > dist || dist == 0) {
        chooseTarget(random);
    } else {
        x = x - dx / dist * step;
        y = y - dy / dist * step;
    }
    splitTimer = splitTimer - dt;
}

void Munchet::trySplit(std::vector<Munchet>& newborns, Game& game) {
    if (splitTimer >= 0) return;
    Munchet child;
    child.init(game);
    child.heading = heading;
    child.x = x;
    child.y = y;
    child.chooseTarget(game.random);
    newborns.push_back(child);
    splitTimer = splitDelay(game);
}

void Munchet::feed() { splitTimer = splitTimer - feedHurry; }
