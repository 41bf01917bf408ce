#include "game/sounds.h"

EffectHandle energySound = 0;
EffectHandle munchetEatenSound = 0;
EffectHandle foodSound = 0;
EffectHandle deadSound = 0;
EffectHandle nextLevelSound = 0;
EffectHandle savedSound = 0;
MusicHandle music = 0;
