#include "common/play_panned.h"

#include "common/constants.h"
#include "common/engine_ref.h"

int panForX(float x) {
    float pan = x / halfWidth * 100.0f;
    if (pan < -100.0f) pan = -100.0f;
    if (pan > 100.0f) pan = 100.0f;
    return static_cast<int>(pan);
}

void playPanned(EffectHandle effect, float x, float pitch) {
    hge->Effect_PlayEx(effect, 100, panForX(x), pitch, false);
}
