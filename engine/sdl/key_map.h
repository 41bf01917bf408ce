// Which of the game's key codes each physical key (SDL scancode) gives: the
// usual keys by their position, with the player's bindings applied.
#pragma once

#include <SDL_scancode.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/key_rebinding.h"

struct KeyMap {
    // The usual keys: letters and digits where a US keyboard has them, both
    // Shift keys as Shift, and so on (engine/sdl/keyboard.cpp).
    KeyMap();

    // Makes each binding's physical key give its game key, in place of the
    // keys that gave it before (those then give nothing, so a key moved
    // away no longer plays). A binding is refused, keeping the usual key,
    // when its name is no key SDL knows, when it would take a fixed key, or
    // when it takes a physical key another binding, or another game key's
    // usual key, still gives; one printable line per refusal.
    std::vector<std::string> Bind(const KeyRebindings& bindings);

    // The game's key code for a key event: by scancode, or by keycode when
    // SDL knows no position for the key (a key a tool made up); 0 for keys
    // the game does not know.
    int Translate(int scancode, int keycode) const;
    // The physical key that gives code, SDL_SCANCODE_UNKNOWN for none; the
    // first by scancode number when several do (the left Shift key).
    SDL_Scancode PhysicalKey(int code) const;

private:
    std::array<std::uint8_t, SDL_NUM_SCANCODES> codes{};
    // Codes that only their bound physical key may give.
    std::array<bool, 256> moved{};
};
