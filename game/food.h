// A food item: drifts with its flock, is pulled toward nearby ghosts and drains
// the charge of the ghosts it crowds.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

struct Player;
struct Food;

// The flock's neighbour radius, units, and its square.
inline constexpr float flockRadius = 23.5f;
// How far ahead items look at their neighbours' and their own way, seconds.
inline constexpr float flockLookAhead = 0.0625f;
inline constexpr float flockRadiusSquared = flockRadius * flockRadius;  // 552.25

// What one item's neighbour scan gathers. The neighbours must be added in
// list order: the sums are rounded as they grow, and the first of two equally
// near items stays the nearest.
struct FlockSums {
    std::int32_t count = 0;
    float sumX = 0, sumY = 0;         // the neighbours' positions 1/16 s ahead, summed
    float best = flockRadiusSquared;  // squared distance to the nearest, units^2
    float nearestX = flockRadius, nearestY = flockRadius;

    // A neighbour at the given squared distance (at most flockRadiusSquared).
    inline void add(const Food& neighbour, float distanceSquared);
};

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
    // The part of update after the neighbour scan: separation, the players'
    // pull and drain, edges, steering, friction, speed cap, move and clamp.
    void steer(float dt, FlockSums neighbours, std::span<Player> players);
    // Squared distance to another item, the one expression every scan uses.
    float distanceSquared(const Food& other) const {
        const float dx = other.x - x;
        const float dy = other.y - y;
        return dx * dx + dy * dy;
    }
};

inline void FlockSums::add(const Food& neighbour, float distanceSquared) {
    count += 1;
    sumX += neighbour.x + neighbour.vx * flockLookAhead;
    sumY += neighbour.y + neighbour.vy * flockLookAhead;
    if (distanceSquared < best) {
        best = distanceSquared;
        nearestX = neighbour.x;
        nearestY = neighbour.y;
    }
}
