// The game's six sound effects, synthesised. Each is mono at EffectRate,
// peaks at the level given below, begins and ends at rest. The music peaks
// near 0.5 and plays at 60 % in the game; the effects stay under its peak
// yet, at full volume, a few decibels above its average.
#pragma once

#include "tools/soundgen/dsp.h"

namespace effects {

inline constexpr double EffectRate = 44100;

// A ghost's energy pulse: a short electric "vwumm", 0.34 s. The game plays it
// at pitches 0.56 to 2.4, every 0.4 to 0.8 s, so it must stay short at the low
// end and not shrill at the high end. Peak 0.42.
dsp::Buffer EnergyPulse();
// A ghost eats a munchet: a rising gulp with a munching flutter and two bright
// pings, 0.34 s. Peak 0.45.
dsp::Buffer MunchetEaten();
// A munchet eats a food item: heard very often, so a tiny soft "nom", 0.09 s.
// Peak 0.2.
dsp::Buffer FoodEaten();
// The game is lost: a muted brass line falling by semitones, the last note
// sagging with vibrato over a low thud, 1.7 s. Peak 0.48.
dsp::Buffer Dead();
// A level is won: a C major arpeggio up to a held high C, 1.4 s. Peak 0.48.
dsp::Buffer NextLevel();
// A food item reaches the goal: a bright two-note chime, 0.32 s. Peak 0.32.
dsp::Buffer Saved();

}  // namespace effects
