#include "render/key_labels.h"

#include <cstdio>
#include <cstring>

namespace {

// A label the font draws: printable ASCII only.
bool Drawable(const char* label) {
    if (!label || !*label) return false;
    for (const char* c = label; *c; ++c)
        if (static_cast<unsigned char>(*c) < 32 || static_cast<unsigned char>(*c) > 126) return false;
    return true;
}

// The label SDL gives a key, in the words the game's help always used.
const char* HelpWords(const char* label) {
    if (std::strcmp(label, "Left Shift") == 0 || std::strcmp(label, "Right Shift") == 0) return "SHIFT";
    if (std::strcmp(label, "Keypad 0") == 0) return "Numpad 0";
    return label;
}

}  // namespace

const char* BuildKeyHelp(Engine* engine, char* out, std::size_t size, const KeyBinding& keys,
                         const char* usualMove, const char* usualFocus) {
    const int moves[4] = {keys.up, keys.left, keys.down, keys.right};
    const char* labels[4];
    bool known = engine != nullptr, single = true;
    for (int i = 0; i < 4 && known; ++i) {
        labels[i] = engine->Input_GetKeyName(moves[i]);
        known = Drawable(labels[i]);
        single = single && known && labels[i][1] == '\0';
    }
    const bool arrows = known && std::strcmp(labels[0], "Up") == 0 && std::strcmp(labels[1], "Left") == 0 &&
                        std::strcmp(labels[2], "Down") == 0 && std::strcmp(labels[3], "Right") == 0;
    char move[4 * 32 + 4];
    if (!known || arrows)
        std::snprintf(move, sizeof move, "%s", arrows ? "CURSOR" : usualMove);
    else
        std::snprintf(move, sizeof move, single ? "%s%s%s%s" : "%s %s %s %s", labels[0], labels[1], labels[2],
                      labels[3]);
    std::snprintf(out, size, "move with %s\nFocus with %s", move,
                  KeyHelpName(engine, keys.focus, usualFocus));
    return out;
}

const char* KeyHelpName(Engine* engine, int key, const char* usual) {
    const char* label = engine ? engine->Input_GetKeyName(key) : nullptr;
    return Drawable(label) ? HelpWords(label) : usual;
}
