#include "engine/sdl/key_map.h"

#include <SDL.h>

#include <algorithm>

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

// The usual virtual-key code of every scancode, 0 for keys the game does not
// know; built once, at compile time.
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
    const int scancode = keycode & ~SDLK_SCANCODE_MASK;
    if ((keycode & SDLK_SCANCODE_MASK) && scancode > 0 && scancode < SDL_NUM_SCANCODES)
        return ScancodeTable[static_cast<std::size_t>(scancode)];
    return 0;
}

bool Contains(const std::vector<int>& codes, int code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// A binding the player asked for, with the physical key it names.
struct Wanted {
    const KeyRebinding* binding;
    SDL_Scancode scancode;
    bool accepted;
};

std::string Refusal(const KeyRebinding& binding, const std::string& why) {
    return binding.setting + "=" + binding.keyName + ": " + why + "; the usual key is kept";
}

}  // namespace

KeyMap::KeyMap() : codes(ScancodeTable) {}

int KeyMap::Translate(int scancode, int keycode) const {
    if (scancode > 0 && scancode < SDL_NUM_SCANCODES) {
        const int code = codes[static_cast<std::size_t>(scancode)];
        if (code != 0 || ScancodeTable[static_cast<std::size_t>(scancode)] != 0) return code;
    }
    // Only its bound key gives a moved code, whatever a made-up key says.
    const int code = FromKeycode(keycode);
    return moved[static_cast<std::size_t>(code)] ? 0 : code;
}

SDL_Scancode KeyMap::PhysicalKey(int code) const {
    if (code <= 0) return SDL_SCANCODE_UNKNOWN;
    for (std::size_t scancode = 1; scancode < codes.size(); ++scancode)
        if (codes[scancode] == code) return static_cast<SDL_Scancode>(scancode);
    return SDL_SCANCODE_UNKNOWN;
}

std::vector<std::string> KeyMap::Bind(const KeyRebindings& bindings) {
    std::vector<std::string> problems;
    std::vector<int> bindable;
    std::vector<Wanted> wanted;
    for (const KeyRebinding& binding : bindings.keys) {
        if (binding.gameKey <= 0 || binding.gameKey > 255) continue;
        bindable.push_back(binding.gameKey);
        if (binding.keyName.empty()) continue;
        const SDL_Scancode scancode = SDL_GetScancodeFromName(binding.keyName.c_str());
        const int usual = ScancodeTable[scancode];
        if (scancode == SDL_SCANCODE_UNKNOWN)
            problems.push_back(Refusal(binding, "no key has that name"));
        else if (usual != binding.gameKey && Contains(bindings.fixedKeys, usual))
            problems.push_back(Refusal(binding, "that key has a use of its own in the game"));
        else
            wanted.push_back({&binding, scancode, true});
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
                if (wanted[j].accepted && wanted[j].scancode == w.scancode)
                    clash = wanted[j].binding->setting;
            const int usual = ScancodeTable[w.scancode];
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
        if (w.accepted) codes[w.scancode] = static_cast<std::uint8_t>(w.binding->gameKey);
    return problems;
}
