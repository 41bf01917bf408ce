// A player's ghost: steered by four direction keys and a focus key, slowed by
// a strong friction, bounced off the field's edges, and carrying a charge that
// climbs with time and sinks while food crowds around it.
#pragma once

#include <cstdint>

#include "engine/frame_input.h"
#include "game/frame_effects.h"

struct Player {
    float x = 0, y = 0;     // position, play-field units
    float vx = 0, vy = 0;   // velocity, units per second
    float charge = 1.0f;    // kept within [-15, 30] by update; <= 0 eats munchets
    bool focusing = false;  // focus key held during the last update
    float pulseTimer = 0;   // seconds until the next energy pulse may sound
    // Virtual-key codes.
    std::int32_t focusKey = 0, upKey = 0, leftKey = 0, downKey = 0, rightKey = 0;

    // New game: at rest at the origin, charge 1, no focus; keys kept.
    void reset();
    // Start of a further level: charge 1, no focus; position and velocity kept.
    void resetForLevel();
    void setPosition(float newX, float newY);
    void setKeys(std::int32_t focus, std::int32_t up, std::int32_t left, std::int32_t down,
                 std::int32_t right);
    // One frame of dt seconds: input's keys, friction, move, bounce, charge,
    // pulse (its sound goes into effects).
    void update(float dt, const FrameInput& input, FrameEffects& effects);
    // Radius within which the ghost pulls food toward itself, units.
    float attractRadius() const;
    // True when a touching munchet ends the game.
    bool isVulnerable() const;
    // One close food item's share of the charge: dt / 5.
    void drain(float dt);
};
