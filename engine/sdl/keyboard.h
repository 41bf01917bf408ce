// The keyboard as the game sees it: SDL's keys turned into Windows
// virtual-key codes, held keys, and the one key and one character of a frame.
#pragma once

#include <array>
#include <cstdint>

#include "engine/frame_input.h"
#include "engine/sdl/key_map.h"

// The virtual-key code of an SDL key (scancode and keycode as SDL gives
// them) with no key rebound, 0 for keys the game does not know.
//
// Keys are mapped by their position (SDL scancode), so the movement keys stay
// one block of keys on every keyboard layout and the numeric keypad reads the
// same whatever the NumLock state. A key whose scancode SDL does not know (a
// key synthesised by a tool, for one) is mapped by its keycode instead.
int VirtualKeyFromSdl(int scancode, int keycode);

// Builds each frame's FrameInput from SDL's key and text events.
//
// - A key pressed during a frame is held for that whole frame, even when it
//   is released again before the frame runs: a quick tap is never lost.
// - Input_GetKey answers the first key to go down during the frame, auto-repeat
//   included (holding Backspace keeps erasing, as in any text field).
// - Input_GetChar answers the first byte of the first text typed during the
//   frame (the engine reports only 32..126).
// - Several physical keys may share one code (the two Shift keys, the two
//   Enter keys): the code is held while any of them is.
struct KeyboardInput {
    KeyboardInput() = default;
    // Reads the keys as the map gives them (the player's bindings).
    explicit KeyboardInput(const KeyMap& map) : keys(map) {}

    // Starts a frame: forgets the last frame's key and character, and lets
    // go of the keys whose release was held back for the last frame.
    void BeginFrame();
    void KeyDown(int scancode, int keycode, bool repeat);
    void KeyUp(int scancode, int keycode);
    // text: UTF-8, NUL-terminated, as SDL_TEXTINPUT gives it.
    void Text(const char* text);
    // Every key up at once (the window lost the keyboard).
    void ReleaseAll();

    // The frame's input as the events so far made it (frameTime is not
    // touched: the loop sets it).
    const FrameInput& Record() const { return record; }

private:
    KeyMap keys;
    FrameInput record;
    static constexpr int ScancodeCount = 512;
    // The code each held scancode was pressed as (0: up). Kept per scancode
    // so that a release matches its press even if the layout changed between.
    std::array<std::uint8_t, ScancodeCount> downAs{};
    std::array<bool, 256> wentDown{};      // pressed during this frame
    std::array<bool, 256> releaseLater{};  // released during the frame it was pressed
    bool textSeen = false;
};
