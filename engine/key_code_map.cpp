#include "engine/key_code_map.h"

#include <algorithm>

#include "engine/engine.h"

namespace {

struct NamedKey {
    int physicalKey;
    int code;
};

// Keys that are not in a run of letters, digits or function keys. Both Enter
// keys, both Shift, Ctrl and Alt keys share one code each, as they do in
// Windows.
constexpr NamedKey NamedKeys[] = {
    {PhysicalKey::Enter, Key::Enter},
    {PhysicalKey::Enter2, Key::Enter},
    {PhysicalKey::KeypadEnter, Key::Enter},
    {PhysicalKey::Escape, Key::Escape},
    {PhysicalKey::Backspace, Key::Backspace},
    {PhysicalKey::Tab, KeyCode::Tab},
    {PhysicalKey::Space, Key::Space},
    {PhysicalKey::Minus, KeyCode::Minus},
    {PhysicalKey::Equals, KeyCode::Equals},
    {PhysicalKey::LeftBracket, KeyCode::LeftBracket},
    {PhysicalKey::RightBracket, KeyCode::RightBracket},
    {PhysicalKey::Backslash, KeyCode::Backslash},
    {PhysicalKey::Semicolon, KeyCode::Semicolon},
    {PhysicalKey::Apostrophe, KeyCode::Apostrophe},
    {PhysicalKey::Grave, KeyCode::Grave},
    {PhysicalKey::Comma, KeyCode::Comma},
    {PhysicalKey::Period, KeyCode::Period},
    {PhysicalKey::Slash, KeyCode::Slash},
    {PhysicalKey::CapsLock, KeyCode::CapsLock},
    {PhysicalKey::PrintScreen, KeyCode::PrintScreen},
    {PhysicalKey::ScrollLock, KeyCode::ScrollLock},
    {PhysicalKey::Pause, KeyCode::Pause},
    {PhysicalKey::Insert, KeyCode::Insert},
    {PhysicalKey::Home, KeyCode::Home},
    {PhysicalKey::PageUp, KeyCode::PageUp},
    {PhysicalKey::Delete, Key::Delete},
    {PhysicalKey::End, KeyCode::End},
    {PhysicalKey::PageDown, KeyCode::PageDown},
    {PhysicalKey::Left, Key::Left},
    {PhysicalKey::Up, Key::Up},
    {PhysicalKey::Right, Key::Right},
    {PhysicalKey::Down, Key::Down},
    {PhysicalKey::NumLock, KeyCode::NumLock},
    {PhysicalKey::KeypadDivide, KeyCode::Divide},
    {PhysicalKey::KeypadMultiply, KeyCode::Multiply},
    {PhysicalKey::KeypadMinus, KeyCode::Subtract},
    {PhysicalKey::KeypadPlus, KeyCode::Add},
    {PhysicalKey::Keypad0, Key::Numpad0},
    {PhysicalKey::KeypadPeriod, KeyCode::Decimal},
    {PhysicalKey::LeftCtrl, KeyCode::Ctrl},
    {PhysicalKey::RightCtrl, KeyCode::Ctrl},
    {PhysicalKey::LeftShift, Key::Shift},
    {PhysicalKey::RightShift, Key::Shift},
    {PhysicalKey::LeftAlt, KeyCode::Alt},
    {PhysicalKey::RightAlt, KeyCode::Alt},
    {PhysicalKey::LeftGui, KeyCode::LeftWin},
    {PhysicalKey::RightGui, KeyCode::RightWin},
    {PhysicalKey::Application, KeyCode::Menu},
};

// The usual code of every physical key, built once, at compile time.
constexpr auto UsualTable = [] {
    std::array<std::uint8_t, PhysicalKey::Count> table{};
    const auto run = [&table](int first, int last, int code) {
        for (int key = first; key <= last; ++key)
            table[static_cast<std::size_t>(key)] = static_cast<std::uint8_t>(code + key - first);
    };
    run(PhysicalKey::A, PhysicalKey::Z, Key::A);
    // The digit row runs 1..9 then 0.
    run(PhysicalKey::Digit1, PhysicalKey::Digit9, Key::Digit0 + 1);
    run(PhysicalKey::Digit0, PhysicalKey::Digit0, Key::Digit0);
    run(PhysicalKey::F1, PhysicalKey::F12, Key::F1);
    run(PhysicalKey::Keypad1, PhysicalKey::Keypad9, Key::Numpad0 + 1);
    for (const NamedKey& key : NamedKeys)
        table[static_cast<std::size_t>(key.physicalKey)] = static_cast<std::uint8_t>(key.code);
    return table;
}();

bool InRange(int physicalKey) { return physicalKey > 0 && physicalKey < PhysicalKey::Count; }

bool Contains(const std::vector<int>& codes, int code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// A binding the player asked for, with the physical key it names.
struct Wanted {
    const KeyRebinding* binding;
    int physicalKey;
    bool accepted;
};

std::string Refusal(const KeyRebinding& binding, const std::string& why) {
    return binding.setting + "=" + binding.keyName + ": " + why + "; the usual key is kept";
}

}  // namespace

int UsualKeyCode(int physicalKey) {
    return InRange(physicalKey) ? UsualTable[static_cast<std::size_t>(physicalKey)] : 0;
}

KeyCodeMap::KeyCodeMap() : codes(UsualTable) {}

int KeyCodeMap::Translate(int physicalKey, int otherwise) const {
    if (InRange(physicalKey)) {
        const int code = codes[static_cast<std::size_t>(physicalKey)];
        if (code != 0 || UsualKeyCode(physicalKey) != 0) return code;
    }
    if (otherwise <= 0 || otherwise > 255) return 0;
    // Only its bound key gives a moved code, whatever a made-up key says.
    return moved[static_cast<std::size_t>(otherwise)] ? 0 : otherwise;
}

int KeyCodeMap::PhysicalKeyOf(int code) const {
    if (code <= 0) return PhysicalKey::Unknown;
    for (std::size_t key = 1; key < codes.size(); ++key)
        if (codes[key] == code) return static_cast<int>(key);
    return PhysicalKey::Unknown;
}

std::vector<std::string> KeyCodeMap::Bind(const KeyRebindings& bindings, PhysicalKeyNamed named) {
    std::vector<std::string> problems;
    std::vector<int> bindable;
    std::vector<Wanted> wanted;
    for (const KeyRebinding& binding : bindings.keys) {
        if (binding.gameKey <= 0 || binding.gameKey > 255) continue;
        bindable.push_back(binding.gameKey);
        if (binding.keyName.empty()) continue;
        const int physicalKey = named ? named(binding.keyName.c_str()) : PhysicalKey::Unknown;
        const int usual = UsualKeyCode(physicalKey);
        if (!InRange(physicalKey))
            problems.push_back(Refusal(binding, "no key has that name"));
        else if (usual != binding.gameKey && Contains(bindings.fixedKeys, usual))
            problems.push_back(Refusal(binding, "that key has a use of its own in the game"));
        else
            wanted.push_back({&binding, physicalKey, true});
    }
    // A refused binding leaves its usual key in play, which may clash with
    // a binding accepted before: look again until nothing changes.
    const auto givenBy = [&](int code) -> const Wanted* {
        for (const Wanted& w : wanted)
            if (w.accepted && w.binding->gameKey == code) return &w;
        return nullptr;
    };
    for (bool changed = true; changed;) {
        changed = false;
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            Wanted& w = wanted[i];
            if (!w.accepted) continue;
            std::string clash;
            for (std::size_t j = 0; j < i && clash.empty(); ++j)
                if (wanted[j].accepted && wanted[j].physicalKey == w.physicalKey)
                    clash = wanted[j].binding->setting;
            const int usual = UsualKeyCode(w.physicalKey);
            if (clash.empty() && usual != w.binding->gameKey && Contains(bindable, usual) &&
                !givenBy(usual)) {
                for (const KeyRebinding& other : bindings.keys)
                    if (other.gameKey == usual) clash = other.setting;
            }
            if (clash.empty()) continue;
            w.accepted = false;
            changed = true;
            problems.push_back(Refusal(*w.binding, "that key already plays as " + clash));
        }
    }
    for (const Wanted& w : wanted) {
        if (!w.accepted) continue;
        const int code = w.binding->gameKey;
        // A fixed key keeps giving its code (the arrows still turn the
        // table's pages); any other usual key of the code is let go.
        if (!Contains(bindings.fixedKeys, code)) {
            for (std::uint8_t& given : codes)
                if (given == code) given = 0;
            moved[static_cast<std::size_t>(code)] = true;
        }
    }
    for (const Wanted& w : wanted)
        if (w.accepted)
            codes[static_cast<std::size_t>(w.physicalKey)] = static_cast<std::uint8_t>(w.binding->gameKey);
    return problems;
}
