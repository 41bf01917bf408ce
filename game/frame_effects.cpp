#include "game/frame_effects.h"

#include <cmath>

#include "game/constants.h"

int panForX(float x) {
    // Not a place at all: converting NaN to an integer is undefined, so the
    // sound plays from the middle.
    if (std::isnan(x)) return 0;
    float pan = x / halfWidth * 100.0f;
    if (pan < -100.0f) pan = -100.0f;
    if (pan > 100.0f) pan = 100.0f;
    return static_cast<int>(pan);
}

void FrameEffects::Clear() {
    sounds.clear();
    musicVolume.reset();
}

void FrameEffects::Play(SoundEffect effect, float x, float pitch) {
    sounds.push_back({effect, 100, panForX(x), pitch});
}
