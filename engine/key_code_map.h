// Which of the game's key codes each physical key gives: the usual keys by
// their position, with the player's bindings applied. Shared by every
// platform's keyboard.
//
// Physical keys are numbered by their USB HID usage on the keyboard page,
// the numbering SDL's scancodes follow and the browser's key `code` names
// map onto, so one table and one set of bindings serve every platform.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/key_rebinding.h"

// Physical key numbers the usual table names (USB HID keyboard usages).
namespace PhysicalKey {
inline constexpr int Unknown = 0, A = 4, Z = 29, Digit1 = 30, Digit9 = 38, Digit0 = 39;
inline constexpr int Enter = 40, Escape = 41, Backspace = 42, Tab = 43, Space = 44, Minus = 45;
inline constexpr int Equals = 46, LeftBracket = 47, RightBracket = 48, Backslash = 49, Semicolon = 51;
inline constexpr int Apostrophe = 52, Grave = 53, Comma = 54, Period = 55, Slash = 56, CapsLock = 57;
inline constexpr int F1 = 58, F12 = 69, PrintScreen = 70, ScrollLock = 71, Pause = 72, Insert = 73;
inline constexpr int Home = 74, PageUp = 75, Delete = 76, End = 77, PageDown = 78;
inline constexpr int Right = 79, Left = 80, Down = 81, Up = 82, NumLock = 83;
inline constexpr int KeypadDivide = 84, KeypadMultiply = 85, KeypadMinus = 86, KeypadPlus = 87;
inline constexpr int KeypadEnter = 88, Keypad1 = 89, Keypad9 = 97, Keypad0 = 98, KeypadPeriod = 99;
inline constexpr int Application = 101, Enter2 = 158;
inline constexpr int LeftCtrl = 224, LeftShift = 225, LeftAlt = 226, LeftGui = 227;
inline constexpr int RightCtrl = 228, RightShift = 229, RightAlt = 230, RightGui = 231;
inline constexpr int Count = 512;  // numbers 1..Count-1 are keys
}  // namespace PhysicalKey

// Windows virtual-key codes the usual table gives besides those of engine.h.
namespace KeyCode {
inline constexpr int Tab = 9, Ctrl = 17, Alt = 18, Pause = 19, CapsLock = 20;
inline constexpr int PageUp = 33, PageDown = 34, End = 35, Home = 36, PrintScreen = 44, Insert = 45;
inline constexpr int LeftWin = 91, RightWin = 92, Menu = 93;
inline constexpr int Multiply = 106, Add = 107, Subtract = 109, Decimal = 110, Divide = 111;
inline constexpr int NumLock = 144, ScrollLock = 145;
inline constexpr int Semicolon = 186, Equals = 187, Comma = 188, Minus = 189, Period = 190, Slash = 191;
inline constexpr int Grave = 192, LeftBracket = 219, Backslash = 220, RightBracket = 221, Apostrophe = 222;
}  // namespace KeyCode

// The usual key code of a physical key: letters and digits where a US
// keyboard has them, both Shift keys as Shift, both Enter keys as Enter, and
// so on; 0 for keys the game does not know (and numbers out of range).
int UsualKeyCode(int physicalKey);

// The physical key a binding's key name means, PhysicalKey::Unknown for
// none: each platform knows its own names.
using PhysicalKeyNamed = int (*)(const char* name);

struct KeyCodeMap {
    // The usual keys.
    KeyCodeMap();

    // Makes each binding's physical key give its game key, in place of the
    // keys that gave it before (those then give nothing, so a key moved
    // away no longer plays). A binding is refused, keeping the usual key,
    // when named finds no key of its name, when it would take a fixed key,
    // or when it takes a physical key another binding, or another game
    // key's usual key, still gives; one printable line per refusal.
    std::vector<std::string> Bind(const KeyRebindings& bindings, PhysicalKeyNamed named);

    // The game's key code for a physical key; for a key the table has no
    // place for (Unknown, or a number out of range), otherwise, unless a
    // binding moved that code to a key of its own. 0 for keys the game
    // does not know.
    int Translate(int physicalKey, int otherwise) const;
    // The physical key that gives code, Unknown for none; the lowest number
    // when several do (the left Shift key).
    int PhysicalKeyOf(int code) const;

private:
    std::array<std::uint8_t, PhysicalKey::Count> codes{};
    // Codes that only their bound physical key may give.
    std::array<bool, 256> moved{};
};
