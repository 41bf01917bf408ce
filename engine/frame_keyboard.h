// The keyboard as the game sees it, whatever the platform: key events turned
// into the game's key codes by a key code map, held keys, and the one key
// and one character of a frame.
#pragma once

#include <array>
#include <cstdint>

#include "engine/frame_input.h"
#include "engine/key_code_map.h"

// Builds each frame's FrameInput from a platform's key and text events.
//
// - A key pressed during a frame is held for that whole frame, even when it
//   is released again before the frame runs: a quick tap is never lost.
// - Input_GetKey answers the first key to go down during the frame, auto-repeat
//   included (holding Backspace keeps erasing, as in any text field).
// - Input_GetChar answers the first byte of the first text typed during the
//   frame (the engine reports only 32..126).
// - Several physical keys may share one code (the two Shift keys, the two
//   Enter keys): the code is held while any of them is.
struct FrameKeyboard {
    FrameKeyboard() = default;
    // Reads the keys as the map gives them (the player's bindings).
    explicit FrameKeyboard(const KeyCodeMap& map) : keys(map) {}

    // Starts a frame: forgets the last frame's key and character, and lets
    // go of the keys whose release was held back for the last frame.
    void BeginFrame();
    // physicalKey as KeyCodeMap numbers keys; otherwise the code for a key
    // the map has no place for (KeyCodeMap::Translate).
    void KeyDown(int physicalKey, int otherwise, bool repeat);
    void KeyUp(int physicalKey, int otherwise);
    // text: UTF-8, NUL-terminated.
    void Text(const char* text);
    // Every key up at once (the game lost the keyboard).
    void ReleaseAll();

    // The frame's input as the events so far made it (frameTime is not
    // touched: the loop sets it).
    const FrameInput& Record() const { return record; }

private:
    KeyCodeMap keys;
    FrameInput record;
    // The code each held physical key was pressed as (0: up). Kept per key
    // so that a release matches its press even if the layout changed between.
    std::array<std::uint8_t, PhysicalKey::Count> downAs{};
    std::array<bool, 256> wentDown{};      // pressed during this frame
    std::array<bool, 256> releaseLater{};  // released during the frame it was pressed
    bool textSeen = false;
};
