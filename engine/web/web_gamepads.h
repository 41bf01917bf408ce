// The browser's gamepads, read once a frame through the Gamepad API, folded
// into each frame's FrameInput as the players' keys (engine/gamepad_mapping.h
// says which), as the native pads are.
//
// - Only pads the browser maps to the "standard" layout are read: what the
//   buttons of any other mean cannot be told.
// - Two pads at most, in slots: the first pad seen takes slot 0 (the
//   arrow-key player), the next slot 1 (the W A S D player); a pad keeps its
//   slot while connected, and one connected later takes the lowest free slot.
// - The frame's pressed key is the keyboard's when a key went down, else
//   that of the first pad action to come on. No auto-repeat.
// - A pad that goes away lets go of everything it held.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/frame_input.h"
#include "engine/gamepad_mapping.h"

struct WebGamepads {
    static constexpr int Slots = 2;

    // Samples the pads (once a frame) and adds their keys to input, and their
    // pressed key when the keyboard's is 0.
    void AddTo(FrameInput& input);

    // Lines for the log (a pad connected or gone); the loop logs and clears them.
    std::vector<std::string> notices;

private:
    struct Pad {
        long index = -1;  // the browser's gamepad index; -1: the slot is free
        PadControls controls;
        PadActions on = 0;
    };
    std::array<Pad, Slots> pads{};
    bool unsupported = false;  // the browser has no Gamepad API
};
