#include "engine/sdl/keyboard.h"

#include <SDL.h>

#include <array>
#include <cstdint>

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

struct ScancodeKey {
    SDL_Scancode scancode;
    int vk;
};

// Keys that are not in a run of letters, digits or function keys, by their
// position on the keyboard. Both Enter keys, both Shift, Ctrl and Alt keys
// share one code each, as they do in Windows.
constexpr ScancodeKey NamedKeys[] = {
    {SDL_SCANCODE_RETURN, Key::Enter},
    {SDL_SCANCODE_RETURN2, Key::Enter},
    {SDL_SCANCODE_KP_ENTER, Key::Enter},
    {SDL_SCANCODE_ESCAPE, Key::Escape},
    {SDL_SCANCODE_BACKSPACE, Key::Backspace},
    {SDL_SCANCODE_TAB, VkTab},
    {SDL_SCANCODE_SPACE, Key::Space},
    {SDL_SCANCODE_MINUS, VkMinus},
    {SDL_SCANCODE_EQUALS, VkEquals},
    {SDL_SCANCODE_LEFTBRACKET, VkLeftBracket},
    {SDL_SCANCODE_RIGHTBRACKET, VkRightBracket},
    {SDL_SCANCODE_BACKSLASH, VkBackslash},
    {SDL_SCANCODE_SEMICOLON, VkSemicolon},
    {SDL_SCANCODE_APOSTROPHE, VkApostrophe},
    {SDL_SCANCODE_GRAVE, VkGrave},
    {SDL_SCANCODE_COMMA, VkComma},
    {SDL_SCANCODE_PERIOD, VkPeriod},
    {SDL_SCANCODE_SLASH, VkSlash},
    {SDL_SCANCODE_CAPSLOCK, VkCapsLock},
    {SDL_SCANCODE_PRINTSCREEN, VkPrintScreen},
    {SDL_SCANCODE_SCROLLLOCK, VkScrollLock},
    {SDL_SCANCODE_PAUSE, VkPause},
    {SDL_SCANCODE_INSERT, VkInsert},
    {SDL_SCANCODE_HOME, VkHome},
    {SDL_SCANCODE_PAGEUP, VkPageUp},
    {SDL_SCANCODE_DELETE, Key::Delete},
    {SDL_SCANCODE_END, VkEnd},
    {SDL_SCANCODE_PAGEDOWN, VkPageDown},
    {SDL_SCANCODE_LEFT, Key::Left},
    {SDL_SCANCODE_UP, Key::Up},
    {SDL_SCANCODE_RIGHT, Key::Right},
    {SDL_SCANCODE_DOWN, Key::Down},
    {SDL_SCANCODE_NUMLOCKCLEAR, VkNumLock},
    {SDL_SCANCODE_KP_DIVIDE, VkDivide},
    {SDL_SCANCODE_KP_MULTIPLY, VkMultiply},
    {SDL_SCANCODE_KP_MINUS, VkSubtract},
    {SDL_SCANCODE_KP_PLUS, VkAdd},
    {SDL_SCANCODE_KP_0, Key::Numpad0},
    {SDL_SCANCODE_KP_PERIOD, VkDecimal},
    {SDL_SCANCODE_LCTRL, VkCtrl},
    {SDL_SCANCODE_RCTRL, VkCtrl},
    {SDL_SCANCODE_LSHIFT, Key::Shift},
    {SDL_SCANCODE_RSHIFT, Key::Shift},
    {SDL_SCANCODE_LALT, VkAlt},
    {SDL_SCANCODE_RALT, VkAlt},
    {SDL_SCANCODE_LGUI, VkLeftWin},
    {SDL_SCANCODE_RGUI, VkRightWin},
    {SDL_SCANCODE_APPLICATION, VkMenu},
};

// The virtual-key code of every scancode, 0 for keys the game does not know;
// built once, at compile time.
constexpr auto ScancodeTable = [] {
    std::array<std::uint8_t, SDL_NUM_SCANCODES> table{};
    const auto run = [&table](int first, int last, int vk) {
        for (int scancode = first; scancode <= last; ++scancode)
            table[static_cast<std::size_t>(scancode)] = static_cast<std::uint8_t>(vk + scancode - first);
    };
    run(SDL_SCANCODE_A, SDL_SCANCODE_Z, Key::A);
    // SDL numbers the digit row 1..9 then 0.
    run(SDL_SCANCODE_1, SDL_SCANCODE_9, Key::Digit0 + 1);
    run(SDL_SCANCODE_0, SDL_SCANCODE_0, Key::Digit0);
    run(SDL_SCANCODE_F1, SDL_SCANCODE_F12, Key::F1);
    run(SDL_SCANCODE_KP_1, SDL_SCANCODE_KP_9, Key::Numpad0 + 1);
    for (const ScancodeKey& key : NamedKeys) table[key.scancode] = static_cast<std::uint8_t>(key.vk);
    return table;
}();

int FromScancode(int scancode) {
    return scancode > 0 && scancode < SDL_NUM_SCANCODES ? ScancodeTable[static_cast<std::size_t>(scancode)]
                                                        : 0;
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
