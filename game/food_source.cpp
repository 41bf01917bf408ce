#include "game/food_source.h"

#include <algorithm>
#include <cstdlib>

#include "game/constants.h"

namespace {

constexpr std::int32_t gridStep = 24;  // units per step
constexpr std::int32_t minLegSteps = 3, maxLegSteps = 11;

// The rectangle targets are drawn from; the source never leaves it.
constexpr std::int32_t width = static_cast<std::int32_t>(halfWidth);
constexpr std::int32_t height = static_cast<std::int32_t>(halfHeight);
constexpr std::int32_t minTargetX = 64 - width, maxTargetX = width - 64;
constexpr std::int32_t minTargetY = 128 - height, maxTargetY = height - 64;

std::int32_t sign(std::int32_t v) { return (v > 0) - (v < 0); }

}  // namespace

void FoodSource::Step(RandomGenerator& random) {
    if (stepsLeft <= 0) {
        std::int32_t dx = 0, dy = 0;
        // Ends: from anywhere in the rectangle both axes offer targets
        // 72 to 287 units away.
        do {
            const std::int32_t tx = random.Int(minTargetX, maxTargetX);
            const std::int32_t ty = random.Int(minTargetY, maxTargetY);
            dx = tx - x;
            dy = ty - y;
            if (dirX != 0)
                dx = 0;
            else if (dirY != 0)
                dy = 0;
            else if (std::abs(dx) > std::abs(dy))
                dy = 0;
            else
                dx = 0;
            stepsLeft = std::max(std::abs(dx) / gridStep, std::abs(dy) / gridStep);
        } while (stepsLeft < minLegSteps || stepsLeft > maxLegSteps);
        dirX = sign(dx);
        dirY = sign(dy);
    }
    stepsLeft -= 1;
    x += gridStep * dirX;
    y += gridStep * dirY;
}
