#pragma once

// Loads, once after the engine is initiated, the six sound effects, the music,
// the five pictures with their sprites and the font, in that order, from
// data/ under the working directory. Nothing is checked: a file that cannot be
// loaded leaves a null handle (and whatever is built on it) and the game runs
// on. An installed game reads the same names under its installed data root
// (app/file_locations.h). Calling it again replaces the sprites and the font
// (tests recreate the engine); nothing loaded before is freed, the engine's
// shutdown does that.
void LoadResources();
