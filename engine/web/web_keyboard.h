// The browser's keyboard: key events on the window, by the physical key
// (KeyboardEvent.code), into each frame's FrameInput as the native keyboard
// does (engine/frame_keyboard.h), with the player's bindings applied.
#pragma once

#include <string>
#include <vector>

#include "engine/frame_keyboard.h"
#include "engine/key_code_map.h"
#include "engine/key_rebinding.h"

struct WebKeyboard {
    WebKeyboard() = default;
    WebKeyboard(const WebKeyboard&) = delete;
    WebKeyboard& operator=(const WebKeyboard&) = delete;
    ~WebKeyboard() { Stop(); }

    // Applies the bindings (named by label or KeyboardEvent.code,
    // engine/key_names.h); one line per refused binding.
    std::vector<std::string> Bind(const KeyRebindings& bindings);
    // Listens to the window's key events until Stop.
    void Listen();
    void Stop();

    // The keys a frame sees; BeginFrame after each frame run.
    const FrameInput& Record() const { return keys.Record(); }
    void BeginFrame() { keys.BeginFrame(); }
    // Every key up (the page lost the keyboard).
    void ReleaseAll() { keys.ReleaseAll(); }
    // The label of the key that gives code, null for none.
    const char* Label(int code) const;

    // Event handlers; true when the page must not act on the key itself
    // (scroll on the arrows or Space, go back on Backspace).
    bool KeyDown(const char* code, unsigned long keyCode, bool repeat, bool modified, const char* key);
    bool KeyUp(const char* code, unsigned long keyCode);
    bool KeyPress(const char* key);

private:
    KeyCodeMap map;
    FrameKeyboard keys;
    bool listening = false;
};
