// Which of the game's key codes each SDL key gives: the engine's key code map
// (engine/key_code_map.h) read by SDL scancode, whose numbers are the
// physical keys' own, with SDL's key names for the bindings.
#pragma once

#include <SDL_scancode.h>

#include <string>
#include <vector>

#include "engine/key_code_map.h"
#include "engine/key_rebinding.h"

struct KeyMap {
    // The usual keys (engine/key_code_map.h).
    KeyMap() = default;

    // The player's bindings, their keys named as SDL names scancodes
    // ("W", "Keypad 8", "Right Ctrl"), any letter case
    // (KeyCodeMap::Bind).
    std::vector<std::string> Bind(const KeyRebindings& bindings);

    // The game's key code for a key event: by scancode, or by keycode when
    // SDL knows no position for the key (a key a tool made up); 0 for keys
    // the game does not know.
    int Translate(int scancode, int keycode) const;
    // The physical key that gives code, SDL_SCANCODE_UNKNOWN for none; the
    // first by scancode number when several do (the left Shift key).
    SDL_Scancode PhysicalKey(int code) const;
    const KeyCodeMap& Codes() const { return codes; }

private:
    KeyCodeMap codes;
};

// The usual key code of an SDL keycode (its character, or the scancode it
// carries), 0 for keys the game does not know: how a key SDL knows no
// position for is read.
int KeyCodeFromSdlKeycode(int keycode);
