#pragma once

#include "engine/engine.h"

// The sound effects and the music, loaded once at start-up and kept for the
// whole run. A handle stays 0 when its file could not be loaded; playing a
// null handle is silent.
extern EffectHandle energySound;        // a focusing ghost's energy pulse
extern EffectHandle munchetEatenSound;  // a ghost eats a munchet
extern EffectHandle foodSound;          // a munchet eats a food item
extern EffectHandle deadSound;          // a munchet catches a ghost
extern EffectHandle nextLevelSound;     // the last munchet of a level is gone
extern EffectHandle savedSound;         // a food item reaches the goal
extern MusicHandle music;               // the looping tracker tune
