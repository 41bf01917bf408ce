#include "engine/sdl/keyboard.h"

#include <SDL.h>

#include "engine/engine.h"

namespace {

// Windows virtual-key codes the table below uses besides those of engine.h.
constexpr int VkTab = 9, VkCtrl = 17, VkAlt = 18, VkPause = 19, VkCapsLock = 20;
constexpr int VkPageUp = 33, VkPageDown = 34, VkEnd = 35, VkHome = 36, VkPrintScreen = 44, VkInsert = 45;
constexpr int VkLeftWin = 91, VkRightWin = 92, VkMenu = 93;
constexpr int VkMultiply = 106, VkAdd = 107, VkSubtract = 109, VkDecimal = 110, VkDivide = 111;
constexpr int VkNumLock = 144, VkScrollLock = 145;
constexpr int VkSemicolon = 186, VkEquals = 187, VkComma = 188, VkMinus = 189, VkPeriod = 190, VkSlash = 191;
constexpr int VkGrave = 192, VkLeftBracket = 219, VkBackslash = 220, VkRightBracket = 221, VkApostrophe = 222;

int FromScancode(int scancode) {
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) return Key::A + (scancode - SDL_SCANCODE_A);
    // SDL numbers the digit row 1..9 then 0.
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9)
        return Key::Digit0 + 1 + (scancode - SDL_SCANCODE_1);
    if (scancode == SDL_SCANCODE_0) return Key::Digit0;
    if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12)
        return Key::F1 + (scancode - SDL_SCANCODE_F1);
    if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_9)
        return Key::Numpad0 + 1 + (scancode - SDL_SCANCODE_KP_1);
    switch (scancode) {
        case SDL_SCANCODE_RETURN:
        case SDL_SCANCODE_RETURN2:
        case SDL_SCANCODE_KP_ENTER:
            return Key::Enter;
        case SDL_SCANCODE_ESCAPE:
            return Key::Escape;
        case SDL_SCANCODE_BACKSPACE:
            return Key::Backspace;
        case SDL_SCANCODE_TAB:
            return VkTab;
        case SDL_SCANCODE_SPACE:
            return Key::Space;
        case SDL_SCANCODE_MINUS:
            return VkMinus;
        case SDL_SCANCODE_EQUALS:
            return VkEquals;
        case SDL_SCANCODE_LEFTBRACKET:
            return VkLeftBracket;
        case SDL_SCANCODE_RIGHTBRACKET:
            return VkRightBracket;
        case SDL_SCANCODE_BACKSLASH:
            return VkBackslash;
        case SDL_SCANCODE_SEMICOLON:
            return VkSemicolon;
        case SDL_SCANCODE_APOSTROPHE:
            return VkApostrophe;
        case SDL_SCANCODE_GRAVE:
            return VkGrave;
        case SDL_SCANCODE_COMMA:
            return VkComma;
        case SDL_SCANCODE_PERIOD:
            return VkPeriod;
        case SDL_SCANCODE_SLASH:
            return VkSlash;
        case SDL_SCANCODE_CAPSLOCK:
            return VkCapsLock;
        case SDL_SCANCODE_PRINTSCREEN:
            return VkPrintScreen;
        case SDL_SCANCODE_SCROLLLOCK:
            return VkScrollLock;
        case SDL_SCANCODE_PAUSE:
            return VkPause;
        case SDL_SCANCODE_INSERT:
            return VkInsert;
        case SDL_SCANCODE_HOME:
            return VkHome;
        case SDL_SCANCODE_PAGEUP:
            return VkPageUp;
        case SDL_SCANCODE_DELETE:
            return Key::Delete;
        case SDL_SCANCODE_END:
            return VkEnd;
        case SDL_SCANCODE_PAGEDOWN:
            return VkPageDown;
        case SDL_SCANCODE_LEFT:
            return Key::Left;
        case SDL_SCANCODE_UP:
            return Key::Up;
        case SDL_SCANCODE_RIGHT:
            return Key::Right;
        case SDL_SCANCODE_DOWN:
            return Key::Down;
        case SDL_SCANCODE_NUMLOCKCLEAR:
            return VkNumLock;
        case SDL_SCANCODE_KP_DIVIDE:
            return VkDivide;
        case SDL_SCANCODE_KP_MULTIPLY:
            return VkMultiply;
        case SDL_SCANCODE_KP_MINUS:
            return VkSubtract;
        case SDL_SCANCODE_KP_PLUS:
            return VkAdd;
        case SDL_SCANCODE_KP_0:
            return Key::Numpad0;
        case SDL_SCANCODE_KP_PERIOD:
            return VkDecimal;
        case SDL_SCANCODE_LCTRL:
        case SDL_SCANCODE_RCTRL:
            return VkCtrl;
        case SDL_SCANCODE_LSHIFT:
        case SDL_SCANCODE_RSHIFT:
            return Key::Shift;
        case SDL_SCANCODE_LALT:
        case SDL_SCANCODE_RALT:
            return VkAlt;
        case SDL_SCANCODE_LGUI:
            return VkLeftWin;
        case SDL_SCANCODE_RGUI:
            return VkRightWin;
        case SDL_SCANCODE_APPLICATION:
            return VkMenu;
        default:
            return 0;
    }
}

int FromKeycode(int keycode) {
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
            return VkTab;
        case SDLK_SPACE:
            return Key::Space;
        case SDLK_DELETE:
            return Key::Delete;
        default:
            break;
    }
    // Keys without a character carry their scancode in the keycode.
    if (keycode & SDLK_SCANCODE_MASK) return FromScancode(keycode & ~SDLK_SCANCODE_MASK);
    return 0;
}

}  // namespace

int VirtualKeyFromSdl(int scancode, int keycode) {
    const int byPosition = FromScancode(scancode);
    return byPosition ? byPosition : FromKeycode(keycode);
}

void KeyboardInput::BeginFrame() {
    record.pressedKey = 0;
    record.typedChar = 0;
    textSeen = false;
    for (std::size_t vk = 0; vk < releaseLater.size(); ++vk)
        if (releaseLater[vk]) record.Release(static_cast<int>(vk));
    releaseLater.fill(false);
    wentDown.fill(false);
}

void KeyboardInput::KeyDown(int scancode, int keycode, bool repeat) {
    const int vk = VirtualKeyFromSdl(scancode, keycode);
    if (vk <= 0 || vk > 255) return;
    const auto index = static_cast<std::size_t>(vk);
    if (scancode > 0 && scancode < ScancodeCount)
        downAs[static_cast<std::size_t>(scancode)] = static_cast<std::uint8_t>(vk);
    record.Hold(vk);
    releaseLater[index] = false;
    if (!repeat) wentDown[index] = true;
    if (record.pressedKey == 0) record.pressedKey = static_cast<std::uint8_t>(vk);
}

void KeyboardInput::KeyUp(int scancode, int keycode) {
    int vk = 0;
    if (scancode > 0 && scancode < ScancodeCount) {
        auto& slot = downAs[static_cast<std::size_t>(scancode)];
        vk = slot;
        slot = 0;
    }
    if (vk == 0) vk = VirtualKeyFromSdl(scancode, keycode);
    if (vk <= 0 || vk > 255) return;
    // Still held through another key with the same code?
    for (const std::uint8_t other : downAs)
        if (other == vk) return;
    const auto index = static_cast<std::size_t>(vk);
    if (wentDown[index])
        releaseLater[index] = true;
    else
        record.Release(vk);
}

void KeyboardInput::Text(const char* text) {
    if (textSeen || !text) return;
    textSeen = true;
    record.typedChar = static_cast<unsigned char>(text[0]);
}

void KeyboardInput::ReleaseAll() {
    record.held = {};
    downAs.fill(0);
    wentDown.fill(false);
    releaseLater.fill(false);
}
