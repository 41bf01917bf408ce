#include "game/food_grid.h"

void FoodGrid::build(const std::vector<Food>& foods) {
    const std::size_t count = foods.size();
    cellStart.assign(static_cast<std::size_t>(columns * rows) + 1, 0);
    cellOf.resize(count);
    filed.resize(count);
    hitBits.assign((count + 63) / 64, 0);
    eaten.assign(count, 0);
    distances.resize(count);
    // A counting sort: filing the items in list order keeps each cell's
    // indices ascending.
    for (std::size_t i = 0; i < count; ++i) {
        const auto cell = static_cast<std::uint32_t>(rowOf(foods[i].y) * columns + columnOf(foods[i].x));
        cellOf[i] = cell;
        ++cellStart[cell + 1];
    }
    for (std::size_t c = 1; c < cellStart.size(); ++c) cellStart[c] += cellStart[c - 1];
    for (std::size_t i = 0; i < count; ++i) filed[cellStart[cellOf[i]]++] = static_cast<std::uint32_t>(i);
    // The filling advanced each start to the next cell's; shift them back.
    for (std::size_t c = cellStart.size() - 1; c > 0; --c) cellStart[c] = cellStart[c - 1];
    cellStart[0] = 0;
}
