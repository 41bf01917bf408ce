#include "common/play_panned.h"

#include <cmath>

#include "common/constants.h"
#include "common/engine_ref.h"

int panForX(float x) {
    // Not a place at all: converting NaN to an integer is undefined, so the
    // sound plays from the middle.
    if (std::isnan(x)) return 0;
    float pan = x / halfWidth * 100.0f;
    if (pan < -100.0f) pan = -100.0f;
    if (pan > 100.0f) pan = 100.0f;
    return static_cast<int>(pan);
}

void playPanned(EffectHandle effect, float x, float pitch) {
    hge->Effect_PlayEx(effect, 100, panForX(x), pitch, false);
}
