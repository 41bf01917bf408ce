#include "engine/web/web_keyboard.h"

#include <emscripten/html5.h>

#include <cstring>

#include "engine/engine.h"
#include "engine/key_names.h"

namespace {

// The DOM's keyCode of a key is its Windows virtual-key code: the code of a
// key whose position the browser does not tell (a key made up by a script).
int CodeFromKeyCode(unsigned long keyCode) {
    return keyCode > 0 && keyCode < 256 ? static_cast<int>(keyCode) : 0;
}

// Keys whose default action would move the page under the game, or leave it.
bool PageActsOn(int code) {
    switch (code) {
        case Key::Left:
        case Key::Up:
        case Key::Right:
        case Key::Down:
        case Key::Space:
        case Key::Backspace:
        case Key::Enter:
        case Key::F1:
        case Key::F2:
            return true;
        default:
            return false;
    }
}

EM_BOOL OnKey(int type, const EmscriptenKeyboardEvent* event, void* data) {
    auto& keyboard = *static_cast<WebKeyboard*>(data);
    switch (type) {
        case EMSCRIPTEN_EVENT_KEYDOWN:
            return keyboard.KeyDown(event->code, event->keyCode, event->repeat,
                                    event->ctrlKey || event->altKey || event->metaKey, event->key);
        case EMSCRIPTEN_EVENT_KEYUP:
            return keyboard.KeyUp(event->code, event->keyCode);
        case EMSCRIPTEN_EVENT_KEYPRESS:
            return keyboard.KeyPress(event->key);
        default:
            return false;
    }
}

}  // namespace

std::vector<std::string> WebKeyboard::Bind(const KeyRebindings& bindings) {
    map = KeyCodeMap();
    std::vector<std::string> problems = map.Bind(bindings, PhysicalKeyByName);
    keys = FrameKeyboard(map);
    return problems;
}

void WebKeyboard::Listen() {
    if (listening) return;
    listening = true;
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, true, OnKey);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, true, OnKey);
    emscripten_set_keypress_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, true, OnKey);
}

void WebKeyboard::Stop() {
    if (!listening) return;
    listening = false;
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, true, nullptr);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, true, nullptr);
    emscripten_set_keypress_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, true, nullptr);
}

bool WebKeyboard::KeyDown(const char* code, unsigned long keyCode, bool repeat, bool modified,
                          const char* key) {
    const int physicalKey = PhysicalKeyOfCode(code);
    const int otherwise = CodeFromKeyCode(keyCode);
    keys.KeyDown(physicalKey, otherwise, repeat);
    // The browser's own shortcuts (Ctrl+R, Alt+Left) stay the browser's.
    if (modified || !PageActsOn(map.Translate(physicalKey, otherwise))) return false;
    // Held back, a key gives no keypress: Space still types its blank.
    if (key && std::strcmp(key, " ") == 0) keys.Text(" ");
    return true;
}

bool WebKeyboard::KeyUp(const char* code, unsigned long keyCode) {
    keys.KeyUp(PhysicalKeyOfCode(code), CodeFromKeyCode(keyCode));
    return false;
}

bool WebKeyboard::KeyPress(const char* key) {
    // One printable character; names of keys ("Enter") are longer.
    if (!key || key[0] < 32 || key[0] > 126 || key[1] != '\0') return false;
    keys.Text(key);
    return true;
}

const char* WebKeyboard::Label(int code) const {
    if (code <= 0 || code > 255) return nullptr;
    return PhysicalKeyLabel(map.PhysicalKeyOf(code));
}
