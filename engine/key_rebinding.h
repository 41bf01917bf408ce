// The physical keys a player chose for the game's own keys. The game keeps
// reading (and its journal keeps recording) its own key codes; the keyboard
// gives those codes from the chosen keys instead of the usual ones.
#pragma once

#include <string>
#include <vector>

struct KeyRebinding {
    std::string setting;  // what the player called the key, to name it in the log
    int gameKey = 0;      // the virtual-key code the game reads
    // The physical key by its position: an SDL scancode name, any letter
    // case ("W", "Keypad 8", "Right Ctrl", "Semicolon" for the key right of L).
    std::string keyName;
};

struct KeyRebindings {
    std::vector<KeyRebinding> keys;
    // The keys the game reads for its own purposes (F1, Escape, ...): no
    // binding may take the physical key that gives one of them to mean
    // something else.
    std::vector<int> fixedKeys;
};
