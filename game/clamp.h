#pragma once

// Clamps value in place: first raised to low, then lowered to high, so a
// NaN stays NaN and low > high yields high.
inline void clampTo(float& value, float low, float high) {
    if (low > value) value = low;
    if (high < value) value = high;
}
