// The players' keys the settings file may move (app/settings_format.h), and
// the keys the game keeps for itself.
#pragma once

#include <array>
#include <string_view>

#include "engine/key_rebinding.h"
#include "game/key_bindings.h"

struct KeySetting {
    std::string_view name;  // the settings file's key
    int gameKey;            // the code the rules read (game/key_bindings.h)
};

// Player 1 plays with the arrow keys (Shift focuses alone, Numpad 0 in a
// two-player game), player 2 with W A S D and G.
inline constexpr std::array<KeySetting, 11> KeySettings{{
    {"player1-up", soloKeys.up},
    {"player1-left", soloKeys.left},
    {"player1-down", soloKeys.down},
    {"player1-right", soloKeys.right},
    {"player1-focus", soloKeys.focus},
    {"player1-coop-focus", keypadKeys.focus},
    {"player2-up", letterKeys.up},
    {"player2-left", letterKeys.left},
    {"player2-down", letterKeys.down},
    {"player2-right", letterKeys.right},
    {"player2-focus", letterKeys.focus},
}};

// What the game reads for its own purposes, on every screen or on some:
// starting games, the music volume, quitting, the name entry, a new game
// and the table's pages.
inline constexpr std::array<int, 11> FixedKeys{Key::F1,    Key::F2,        'M',         Key::Escape,
                                               Key::Enter, Key::Backspace, Key::Delete, 'R',
                                               Key::Space, Key::Left,      Key::Right};

struct KeptSettings;

// The bindings the kept settings ask for, every player's key listed (those
// not in the file with no key name: the usual key).
KeyRebindings RebindingsFrom(const KeptSettings& settings);
