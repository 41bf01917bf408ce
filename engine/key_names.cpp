#include "engine/key_names.h"

#include <cstring>
#include <string>
#include <vector>

#include "engine/key_code_map.h"

namespace {

struct KeyName {
    std::string code;   // KeyboardEvent.code
    int physicalKey;    // engine/key_code_map.h
    std::string label;  // what players call it
};

struct FixedName {
    const char* code;
    int physicalKey;
    const char* label;
};

constexpr FixedName FixedNames[] = {
    {"Enter", PhysicalKey::Enter, "Return"},
    {"Escape", PhysicalKey::Escape, "Escape"},
    {"Backspace", PhysicalKey::Backspace, "Backspace"},
    {"Tab", PhysicalKey::Tab, "Tab"},
    {"Space", PhysicalKey::Space, "Space"},
    {"Minus", PhysicalKey::Minus, "-"},
    {"Equal", PhysicalKey::Equals, "="},
    {"BracketLeft", PhysicalKey::LeftBracket, "["},
    {"BracketRight", PhysicalKey::RightBracket, "]"},
    {"Backslash", PhysicalKey::Backslash, "\\"},
    {"Semicolon", PhysicalKey::Semicolon, ";"},
    {"Quote", PhysicalKey::Apostrophe, "'"},
    {"Backquote", PhysicalKey::Grave, "`"},
    {"Comma", PhysicalKey::Comma, ","},
    {"Period", PhysicalKey::Period, "."},
    {"Slash", PhysicalKey::Slash, "/"},
    {"CapsLock", PhysicalKey::CapsLock, "CapsLock"},
    {"PrintScreen", PhysicalKey::PrintScreen, "PrintScreen"},
    {"ScrollLock", PhysicalKey::ScrollLock, "ScrollLock"},
    {"Pause", PhysicalKey::Pause, "Pause"},
    {"Insert", PhysicalKey::Insert, "Insert"},
    {"Home", PhysicalKey::Home, "Home"},
    {"PageUp", PhysicalKey::PageUp, "PageUp"},
    {"Delete", PhysicalKey::Delete, "Delete"},
    {"End", PhysicalKey::End, "End"},
    {"PageDown", PhysicalKey::PageDown, "PageDown"},
    {"ArrowRight", PhysicalKey::Right, "Right"},
    {"ArrowLeft", PhysicalKey::Left, "Left"},
    {"ArrowDown", PhysicalKey::Down, "Down"},
    {"ArrowUp", PhysicalKey::Up, "Up"},
    {"NumLock", PhysicalKey::NumLock, "Numlock"},
    {"NumpadDivide", PhysicalKey::KeypadDivide, "Keypad /"},
    {"NumpadMultiply", PhysicalKey::KeypadMultiply, "Keypad *"},
    {"NumpadSubtract", PhysicalKey::KeypadMinus, "Keypad -"},
    {"NumpadAdd", PhysicalKey::KeypadPlus, "Keypad +"},
    {"NumpadEnter", PhysicalKey::KeypadEnter, "Keypad Enter"},
    {"Numpad0", PhysicalKey::Keypad0, "Keypad 0"},
    {"NumpadDecimal", PhysicalKey::KeypadPeriod, "Keypad ."},
    {"ContextMenu", PhysicalKey::Application, "Application"},
    {"ControlLeft", PhysicalKey::LeftCtrl, "Left Ctrl"},
    {"ShiftLeft", PhysicalKey::LeftShift, "Left Shift"},
    {"AltLeft", PhysicalKey::LeftAlt, "Left Alt"},
    {"MetaLeft", PhysicalKey::LeftGui, "Left GUI"},
    {"ControlRight", PhysicalKey::RightCtrl, "Right Ctrl"},
    {"ShiftRight", PhysicalKey::RightShift, "Right Shift"},
    {"AltRight", PhysicalKey::RightAlt, "Right Alt"},
    {"MetaRight", PhysicalKey::RightGui, "Right GUI"},
};

std::vector<KeyName> MakeNames() {
    std::vector<KeyName> names;
    for (int i = 0; i < 26; ++i) {
        const std::string letter(1, static_cast<char>('A' + i));
        names.push_back({"Key" + letter, PhysicalKey::A + i, letter});
    }
    for (int digit = 0; digit <= 9; ++digit) {
        const std::string name = std::to_string(digit);
        const int key = digit == 0 ? PhysicalKey::Digit0 : PhysicalKey::Digit1 + digit - 1;
        names.push_back({"Digit" + name, key, name});
        if (digit > 0) names.push_back({"Numpad" + name, PhysicalKey::Keypad1 + digit - 1, "Keypad " + name});
    }
    for (int f = 1; f <= 12; ++f) {
        const std::string name = "F" + std::to_string(f);
        names.push_back({name, PhysicalKey::F1 + f - 1, name});
    }
    for (const FixedName& fixed : FixedNames) names.push_back({fixed.code, fixed.physicalKey, fixed.label});
    return names;
}

const std::vector<KeyName>& Names() {
    static const std::vector<KeyName> names = MakeNames();
    return names;
}

bool SameIgnoringCase(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}  // namespace

int PhysicalKeyOfCode(const char* code) {
    if (!code || !*code) return PhysicalKey::Unknown;
    for (const KeyName& name : Names())
        if (name.code == code) return name.physicalKey;
    return PhysicalKey::Unknown;
}

int PhysicalKeyByName(const char* name) {
    if (!name || !*name) return PhysicalKey::Unknown;
    for (const KeyName& key : Names())
        if (SameIgnoringCase(key.label, name) || SameIgnoringCase(key.code, name)) return key.physicalKey;
    return PhysicalKey::Unknown;
}

const char* PhysicalKeyLabel(int physicalKey) {
    for (const KeyName& key : Names())
        if (key.physicalKey == physicalKey) return key.label.c_str();
    return nullptr;
}
