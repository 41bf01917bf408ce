// "Stardust", the game's music: a calm, looping tune for a space arcade game.
#pragma once

#include "tools/soundgen/xm_writer.h"

namespace stardust {

inline constexpr int Channels = 8;
inline constexpr int RowsPerBar = 16;  // sixteenth notes
inline constexpr int BarsPerPattern = 4;

// The whole module: intro, two verses, a chorus with a melody, the verses
// again with the melody, a quiet bridge, then back to the first verse.
xm::Module Compose();

}  // namespace stardust
