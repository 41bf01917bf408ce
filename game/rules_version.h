// Which rules a recorded game was played under. A replay holds only the
// input of each frame, so it plays the same game again only under the rules
// that recorded it: bump RulesVersion with every change that moves a single
// float or random draw of a game (the pinned games of
// tests/game/replay_test.cpp fail when that happens), or that makes the rules
// read a key missing from HeldKeysTheRulesRead.
#pragma once

#include <array>
#include <cstdint>

#include "engine/engine.h"
#include "game/key_bindings.h"

inline constexpr std::uint32_t RulesVersion = 2;

// Every key whose held state the rules ask for (Input_GetKeyState): Escape,
// the restart keys, and both players' bindings. A recording keeps these and
// no other held key; the order fixes the bit of each key in a replay file
// and is part of RulesVersion.
inline constexpr std::array<int, 16> HeldKeysTheRulesRead{
    Key::Escape,   Key::F1,         Key::F2,          'R',
    Key::Space,    soloKeys.focus,  soloKeys.up,      soloKeys.left,
    soloKeys.down, soloKeys.right,  keypadKeys.focus, letterKeys.focus,
    letterKeys.up, letterKeys.left, letterKeys.down,  letterKeys.right,
};
