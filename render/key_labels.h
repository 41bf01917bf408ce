// The players' keys as the help names them: as the keyboard's layout labels
// them where the engine can tell (Input_GetKeyName), so a French keyboard
// reads "ZQSD" where a US one reads "WASD".
#pragma once

#include <cstddef>

#include "engine/engine.h"
#include "game/key_bindings.h"

// "move with ...\nFocus with ..." for one player's keys into out (size
// bytes, at least 1; a longer text is cut), NUL-terminated. The arrow keys
// read "CURSOR", single-character labels run together ("WASD"), others
// stand apart with blanks; a key the engine cannot name (headless, or no
// engine at all), or whose label the font cannot draw, reads as usual
// (usualMove, usualFocus). Returns out. Allocates nothing: drawn every frame.
const char* BuildKeyHelp(Engine* engine, char* out, std::size_t size, const KeyBinding& keys,
                         const char* usualMove, const char* usualFocus);

// One key's name as the help gives it: the layout's label where the engine
// can tell and the font can draw it, else usual.
const char* KeyHelpName(Engine* engine, int key, const char* usual);
