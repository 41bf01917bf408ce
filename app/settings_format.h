// What the game keeps between runs, and the text of its settings file.
//
// The file ("settings" in the player's config folder, app/settings_keeper.h)
// is plain ASCII, one "key=value" a line, each line ending in a line feed (a
// carriage return before it is dropped):
//
//   # Munchet Fast Prototype: kept between runs   <- lines starting with '#',
//   name=Ada Lovelace                               and blank lines, are skipped
//   music-volume=80
//   window-size=1024x768
//   player2-up=W
//
//   name          the name typed last: everything after the first '=', kept
//                 as written (blanks included), 0 to 20 characters the game
//                 accepts in a name (printable ASCII but ';', '<' and '>')
//   music-volume  the music volume chosen with M: 0, 20, 40, 60, 80 or 100
//   window-size   the window's inside when last neither maximised nor full
//                 screen, pixels: WIDTHxHEIGHT, each 1 to 16384 (the game
//                 opens it so when it still fits the desktop)
//   window-maximised   yes or no
//   window-scaling     fit (the scene scaled to the window) or whole (whole
//                      multiples of the scene's size once it fits at 1x)
//   player1-up, player1-left, player1-down, player1-right, player1-focus,
//   player1-coop-focus, player2-up, player2-left, player2-down,
//   player2-right, player2-focus
//                 the physical key for one of the players' keys (player 1
//                 uses player1-focus alone and player1-coop-focus in a
//                 two-player game): an SDL scancode name, the key's place
//                 on a US keyboard ("W", "Keypad 8", "Right Ctrl"), 1 to
//                 MaxKeyNameLength printable characters kept as written;
//                 whether it names a key, and clashes with other keys, are
//                 checked when the keyboard opens (engine/key_rebinding.h)
//
// Keys may come in any order; a key that is absent keeps nothing (the game's
// own start value applies). A line the game cannot use (no '=', an unknown
// key, a value out of range, a key given twice) is reported and skipped, and
// the other lines still count. A file longer than MaxSettingsFileBytes is not
// read at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/window_layout.h"

inline constexpr std::size_t MaxSettingsFileBytes = 4096;
inline constexpr std::size_t MaxKeyNameLength = 32;
inline constexpr int MaxWindowSide = 16384;

struct KeptSettings {
    std::optional<std::string> playerName;    // IsKeepableName holds
    std::optional<std::int32_t> musicVolume;  // IsKeepableVolume holds
    // All zero and false when the file keeps no window: the game fits one.
    WindowLayout window{};
    // Setting name (one of KeySettings, app/key_settings.h) -> key name.
    std::map<std::string, std::string, std::less<>> keys{};

    bool operator==(const KeptSettings&) const = default;
};

bool IsKeepableName(std::string_view name);
bool IsKeepableVolume(std::int32_t volume);

struct SettingsReading {
    KeptSettings settings;              // what the usable lines say
    std::vector<std::string> problems;  // one per line skipped, or why the whole file was; printable
};

// Any bytes: never fails, never reads past text.
SettingsReading ParseSettings(std::string_view text);

// The file for settings, which must be keepable; ParseSettings reads it
// back as the same settings with no problem.
std::string FormatSettings(const KeptSettings& settings);
