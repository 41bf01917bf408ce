// An invisible point where food appears. It walks the field on a grid of 24
// units, one step each time it produces an item, in legs of 3 to 11 steps
// whose axes alternate.
#pragma once

#include <cstdint>

#include "engine/random.h"

struct FoodSource {
    std::int32_t x = 0, y = 0;        // play-field units
    std::int32_t dirX = 0, dirY = 0;  // -1, 0 or +1; at most one non-zero
    std::int32_t stepsLeft = 0;       // steps left in the current leg

    void setPosition(std::int32_t newX, std::int32_t newY) {
        x = newX;
        y = newY;
    }
    // One 24-unit step, choosing a new leg first (from random) when the
    // last one is done.
    void Step(RandomGenerator& random);
};
