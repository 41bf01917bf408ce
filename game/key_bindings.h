// The players' keys (Windows virtual-key codes), bound by the level set-up.
#pragma once

#include <cstdint>

#include "engine/engine.h"

struct KeyBinding {
    std::int32_t focus, up, left, down, right;
};

// One player: Shift and the arrow keys.
inline constexpr KeyBinding soloKeys{Key::Shift, Key::Up, Key::Left, Key::Down, Key::Right};
// Two players: the arrow-key player (player 0, starts on the right) focuses
// with Numpad 0; the other (player 1, on the left) uses G with W, A, S, D.
inline constexpr KeyBinding keypadKeys{Key::Numpad0, Key::Up, Key::Left, Key::Down, Key::Right};
inline constexpr KeyBinding letterKeys{'G', 'W', 'A', 'S', 'D'};
