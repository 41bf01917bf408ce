// A munchet: wanders in random strides, eats food and splits in two when its
// split timer runs out.
#pragma once

#include <vector>

#include "engine/random.h"

struct Game;

struct Munchet {
    float x = 0, y = 0;              // position, play-field units
    float targetX = 0, targetY = 0;  // end of the current stride
    float heading = 0;               // direction of the last stride, radians, never wrapped
    float splitTimer = 0;            // seconds until the split; may dip below 0

    // A fresh munchet at the origin with a random heading and split delay,
    // drawn from game's generator.
    void init(Game& game);
    // Seconds a munchet waits to split: later in the level and in a fuller
    // field it waits longer. Draws one random number.
    static float splitDelay(Game& game);
    void place(float newX, float newY, RandomGenerator& random);
    // Turns by up to 1.57 rad and picks a stride of 40..100 units.
    void chooseTarget(RandomGenerator& random);
    // One frame of walking toward the target at 5 * level + 50 units/s.
    void move(float dt, int level, RandomGenerator& random);
    // When the timer has run out, appends a child to newborns and restarts it.
    void trySplit(std::vector<Munchet>& newborns, Game& game);
    // A food item eaten: the split comes 10 seconds sooner.
    void feed();
};
