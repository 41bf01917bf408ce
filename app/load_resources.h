#pragma once

#include "app/game_audio.h"
#include "engine/engine.h"
#include "render/scene.h"

// Loads, once after the engine is initiated, the six sound effects and the
// music into audio, then the five pictures with their sprites and the font
// into scene (which draws through engine from then on), in that order, from
// data/ under the working directory. Nothing is checked: a file that cannot be
// loaded leaves a null handle (and whatever is built on it) and the game runs
// on. An installed game reads the same names under its installed data root
// (app/file_locations.h). Loading again replaces the sprites and the font;
// nothing loaded before is freed, the engine's shutdown does that.
void LoadResources(Engine& engine, Scene& scene, GameAudio& audio);
