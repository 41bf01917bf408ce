// Sizes of the play field and of the things on it, fixed for the whole run.
// Play-field units: origin at the centre of the 1024 x 768 scene, x to the
// right, y downward; a point (x, y) is drawn at screen pixel (x + 512, y + 384).
#pragma once

inline constexpr float halfWidth = 512.0f;   // half the field's width
inline constexpr float halfHeight = 384.0f;  // half the field's height
inline constexpr float playerRadius = 16.0f;
inline constexpr float munchetRadius = 8.0f;
inline constexpr float foodRadius = 2.0f;
