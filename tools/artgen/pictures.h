// The game's pictures, drawn from code. The ghost, its aura, the munchet and
// the food pellet are light grey and white so that the vertex colour the game
// sets tints them; the door keeps its own colours.
#pragma once

#include "tools/artgen/canvas.h"

Canvas DrawGhost();        // 32 x 32, a ghost with eyes, centred
Canvas DrawGhostEnergy();  // 48 x 48, a soft round glow
Canvas DrawMunchet();      // 16 x 16, a round creature whose mouth faces +x
Canvas DrawFood();         // 8 x 8, a pellet in the top-left 6 x 4 pixels
Canvas DrawDoor();         // 32 x 32, a wooden door in a stone arch
