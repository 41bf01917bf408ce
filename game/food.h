// A food item: drifts with its flock, is pulled toward nearby ghosts and drains
// the charge of the ghosts it crowds.
#pragma once

#include <span>
#include <vector>

struct Player;

struct Food {
    float x = 0, y = 0;    // position, play-field units
    float vx = 0, vy = 0;  // velocity, units per second

    Food() = default;
    // A new item at rest at (x, y).
    Food(float atX, float atY) { setPosition(atX, atY); }
    void setPosition(float newX, float newY) {
        x = newX;
        y = newY;
    }
    // One frame of dt seconds. foods is the list this item belongs to (items
    // before it are already updated this frame); players are the taking-part
    // players, whose charge the item may drain.
    void update(float dt, const std::vector<Food>& foods, std::span<Player> players);

    void Draw() const;  // render/
};
