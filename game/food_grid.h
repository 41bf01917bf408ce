// A bucket grid over the food list, so the flock's neighbour scan and the
// eating pass look only at items near a point instead of at every item.
//
// It changes no result: callers test every candidate with the same distance
// expression as the plain scan, and the hit set hands the hits back in list
// order (or reverse list order), so sums come out bit for bit the same. The
// buffers are kept between frames: a steady frame allocates nothing.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "game/constants.h"
#include "game/food.h"

struct FoodGrid {
    // Units. Two rings of cells reach 25.5 units: the flock radius of 23.5
    // plus the farthest an item moves in a frame of up to 1/50 s.
    static constexpr float cellSize = 12.75f;
    static constexpr int columns = 81;  // covers the 1024-unit width
    static constexpr int rows = 61;     // covers the 768-unit height
    // Added to every reach: covers the rounding of the cell computation.
    static constexpr float reachMargin = 0.05f;

    // True makes the passes use the plain scans over the whole list (the
    // reference the grid must match; for tests and benchmarks).
    bool plainScan = false;

    // Files every item of foods by its current position.
    void build(const std::vector<Food>& foods);

    // Calls visit(index) for every item filed in a cell that a point within
    // `reach` units of (x, y) could lie in. Order: by cell, not by index.
    template <typename Visit>
    void forEachNear(float x, float y, float reach, Visit&& visit) const {
        const float spread = std::min(reach + reachMargin, 2.0f * halfWidth);
        const int rings = static_cast<int>(std::ceil(spread / cellSize));
        const int column = columnOf(x), row = rowOf(y);
        const int c0 = std::max(column - rings, 0), c1 = std::min(column + rings, columns - 1);
        const int r0 = std::max(row - rings, 0), r1 = std::min(row + rings, rows - 1);
        for (int r = r0; r <= r1; ++r) {
            const std::uint32_t first = cellStart[static_cast<std::size_t>(r * columns + c0)];
            const std::uint32_t last = cellStart[static_cast<std::size_t>(r * columns + c1 + 1)];
            for (std::uint32_t k = first; k < last; ++k) visit(filed[k]);
        }
    }

    // The hit set: indices of the list built last, each added at most once.
    void addHit(std::uint32_t index) { addHitIf(index, true); }
    // Without a branch: crowded candidates pass about half the time, too
    // irregularly to predict.
    void addHitIf(std::uint32_t index, bool hit) {
        hitBits[index >> 6] |= static_cast<std::uint64_t>(hit) << (index & 63);
    }
    // Hands out and clears every hit, lowest index first.
    template <typename Visit>
    void takeHitsAscending(Visit&& visit) {
        for (std::size_t w = 0; w < hitBits.size(); ++w) {
            while (std::uint64_t bits = hitBits[w]) {
                hitBits[w] = bits & (bits - 1);
                visit(static_cast<std::uint32_t>(w * 64 + static_cast<std::size_t>(__builtin_ctzll(bits))));
            }
        }
    }
    // Hands out and clears every hit, highest index first.
    template <typename Visit>
    void takeHitsDescending(Visit&& visit) {
        for (std::size_t w = hitBits.size(); w-- > 0;) {
            while (std::uint64_t bits = hitBits[w]) {
                const int bit = 63 - __builtin_clzll(bits);
                hitBits[w] = bits & ~(std::uint64_t{1} << bit);
                visit(static_cast<std::uint32_t>(w * 64 + static_cast<std::size_t>(bit)));
            }
        }
    }

    // Per item of the list built last: set by the eating pass for eaten
    // items; kept by the food update for its candidates' squared distances.
    std::vector<std::uint8_t> eaten;
    std::vector<float> distances;

private:
    // Cell of a coordinate, clamped to the grid; a non-finite one goes to 0.
    static int columnOf(float x) { return clampCell((x + halfWidth) / cellSize, columns); }
    static int rowOf(float y) { return clampCell((y + halfHeight) / cellSize, rows); }
    static int clampCell(float cell, int count) {
        if (!(cell >= 0)) return 0;
        if (cell >= static_cast<float>(count - 1)) return count - 1;
        return static_cast<int>(cell);
    }

    std::vector<std::uint32_t> cellStart;  // columns * rows + 1 offsets into filed
    std::vector<std::uint32_t> filed;      // item indices by cell, ascending within a cell
    std::vector<std::uint32_t> cellOf;     // each item's cell at build time
    std::vector<std::uint64_t> hitBits;    // one bit per item; all clear between uses
};
