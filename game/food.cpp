#include "game/food.h"

#include <algorithm>
#include <cmath>

#include "game/clamp.h"
#include "game/constants.h"
#include "game/player.h"
#include "game/rules_math.h"

namespace {

constexpr float cohesionGain = 0.125f;
constexpr float separationGain = 3.75f;
constexpr float drainRadius = 2.5f * playerRadius;  // 40 units
constexpr float edgeMargin = 8.0f * foodRadius;     // 16 units
constexpr float edgePush = 16.0f;
constexpr float minSteering = 0.05f;    // weaker steering is ignored
constexpr float acceleration = 200.0f;  // units/s^2 at full steering
constexpr float friction = 0.75f;       // velocity factor per second
constexpr float maxSpeed = 100.0f;      // units/s

}  // namespace

void Food::update(float dt, const std::vector<Food>& foods, std::span<Player> players) {
    FlockSums neighbours;
    for (const Food& other : foods) {
        const float d2 = distanceSquared(other);
        if (d2 <= flockRadiusSquared && &other != this) neighbours.add(other, d2);
    }
    steer(dt, neighbours, players);
}

void Food::steer(float dt, FlockSums neighbours, std::span<Player> players) {
    float sx = 0, sy = 0;
    if (neighbours.count >= 1) {
        const float n = static_cast<float>(neighbours.count);
        sx = (neighbours.sumX / n - x) * cohesionGain;
        sy = (neighbours.sumY / n - y) * cohesionGain;
    }

    // A zero distance has no direction: the steering of this frame is void,
    // everything else (drain, friction, cap, move, clamp) still happens.
    bool steeringVoid = false;
    const float gap = std::sqrt(neighbours.best);
    if (gap == 0) {
        steeringVoid = true;
    } else {
        const float weight = 1.0f - gap / flockRadius;
        sx += (x - neighbours.nearestX) / gap * weight * separationGain;
        sy += (y - neighbours.nearestY) / gap * weight * separationGain;
    }

    for (Player& player : players) {
        const float radius = player.attractRadius();
        const float dx = player.x - x;
        const float dy = player.y - y;
        const float dist = std::sqrt(dx * dx + dy * dy);
        if (dist < drainRadius) player.drain(dt);
        if (dist < radius) {
            if (dist == 0) {
                steeringVoid = true;
            } else {
                const float pull = 1.0f - dist / radius;
                sx += dx / dist * pull;
                sy += dy / dist * pull;
            }
        }
    }

    const float aheadX = x + vx * flockLookAhead;
    if (aheadX > halfWidth - edgeMargin) sx -= edgePush;
    if (aheadX < edgeMargin - halfWidth) sx += edgePush;
    const float aheadY = y + vy * flockLookAhead;
    if (aheadY > halfHeight - edgeMargin) sy -= edgePush;
    if (aheadY < edgeMargin - halfHeight) sy += edgePush;

    const float steering = std::sqrt(sx * sx + sy * sy);
    if (!steeringVoid && steering > minSteering) {
        const float q = std::max(steering, 1.0f);
        vx += sx * (acceleration * dt) / q;
        vy += sy * (acceleration * dt) / q;
    }

    const float k = FrictionPower(friction, dt);
    vx *= k;
    vy *= k;

    const float speed = std::sqrt(vx * vx + vy * vy);
    if (speed > maxSpeed) {
        const float scale = maxSpeed / speed;
        vx *= scale;
        vy *= scale;
    }

    x += vx * dt;
    y += vy * dt;
    clampTo(x, foodRadius - halfWidth, halfWidth - foodRadius);
    clampTo(y, foodRadius - halfHeight, halfHeight - foodRadius);
}
