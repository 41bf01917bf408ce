#pragma once

#include <cstddef>

// Whether a draw r (0..1) spawns a food item when count items are on the
// field: r > 0.9 + 0.0002 * count. The constants are the floats nearest 0.9
// and 0.0002, but the sum and the comparison are exact (double): rounding the
// threshold to float would already change the answer at two items. From 501
// items on nothing spawns.
bool FoodSpawnDrawSucceeds(float r, std::size_t count);
