#include "engine/sdl/key_map.h"

#include <SDL.h>

#include "engine/engine.h"

// SDL numbers its scancodes by USB HID usage, as the key code map does.
static_assert(SDL_SCANCODE_A == PhysicalKey::A && SDL_SCANCODE_0 == PhysicalKey::Digit0);
static_assert(SDL_SCANCODE_KP_0 == PhysicalKey::Keypad0 && SDL_SCANCODE_RETURN2 == PhysicalKey::Enter2);
static_assert(SDL_SCANCODE_RGUI == PhysicalKey::RightGui && SDL_NUM_SCANCODES == PhysicalKey::Count);

int KeyCodeFromSdlKeycode(int keycode) {
    if (keycode >= SDLK_a && keycode <= SDLK_z) return Key::A + (keycode - SDLK_a);
    if (keycode >= SDLK_0 && keycode <= SDLK_9) return Key::Digit0 + (keycode - SDLK_0);
    switch (keycode) {
        case SDLK_RETURN:
            return Key::Enter;
        case SDLK_ESCAPE:
            return Key::Escape;
        case SDLK_BACKSPACE:
            return Key::Backspace;
        case SDLK_TAB:
            return KeyCode::Tab;
        case SDLK_SPACE:
            return Key::Space;
        case SDLK_DELETE:
            return Key::Delete;
        default:
            break;
    }
    // Keys without a character carry their scancode in the keycode.
    if (keycode & SDLK_SCANCODE_MASK) return UsualKeyCode(keycode & ~SDLK_SCANCODE_MASK);
    return 0;
}

namespace {

int ScancodeNamed(const char* name) { return SDL_GetScancodeFromName(name); }

}  // namespace

std::vector<std::string> KeyMap::Bind(const KeyRebindings& bindings) {
    return codes.Bind(bindings, ScancodeNamed);
}

int KeyMap::Translate(int scancode, int keycode) const {
    return codes.Translate(scancode, KeyCodeFromSdlKeycode(keycode));
}

SDL_Scancode KeyMap::PhysicalKey(int code) const {
    return static_cast<SDL_Scancode>(codes.PhysicalKeyOf(code));
}
