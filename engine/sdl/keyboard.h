// The keyboard as the game sees it: SDL's keys turned into Windows
// virtual-key codes, held keys, and the one key and one character of a frame.
#pragma once

#include "engine/frame_input.h"
#include "engine/frame_keyboard.h"
#include "engine/sdl/key_map.h"

// The virtual-key code of an SDL key (scancode and keycode as SDL gives
// them) with no key rebound, 0 for keys the game does not know.
//
// Keys are mapped by their position (SDL scancode), so the movement keys stay
// one block of keys on every keyboard layout and the numeric keypad reads the
// same whatever the NumLock state. A key whose scancode SDL does not know (a
// key synthesised by a tool, for one) is mapped by its keycode instead.
int VirtualKeyFromSdl(int scancode, int keycode);

// Builds each frame's FrameInput from SDL's key and text events, as
// FrameKeyboard (engine/frame_keyboard.h) says.
struct KeyboardInput {
    KeyboardInput() = default;
    // Reads the keys as the map gives them (the player's bindings).
    explicit KeyboardInput(const KeyMap& map) : keys(map.Codes()) {}

    void BeginFrame() { keys.BeginFrame(); }
    void KeyDown(int scancode, int keycode, bool repeat) {
        keys.KeyDown(scancode, KeyCodeFromSdlKeycode(keycode), repeat);
    }
    void KeyUp(int scancode, int keycode) { keys.KeyUp(scancode, KeyCodeFromSdlKeycode(keycode)); }
    // text: UTF-8, NUL-terminated, as SDL_TEXTINPUT gives it.
    void Text(const char* text) { keys.Text(text); }
    // Every key up at once (the window lost the keyboard).
    void ReleaseAll() { keys.ReleaseAll(); }

    const FrameInput& Record() const { return keys.Record(); }

private:
    FrameKeyboard keys;
};
