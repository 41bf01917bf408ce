#pragma once

#include "engine/engine.h"

// Plays a sound effect at full volume, panned to a play-field x position:
// -512 (left edge) pans fully left, 512 fully right, beyond that clamped.
// pitch is a playback-rate factor. The channel is not kept.
void playPanned(EffectHandle effect, float x, float pitch);

// The pan, -100..100, for a play-field x: x / 512 * 100, clamped, truncated;
// 0 for NaN.
int panForX(float x);
