// What the game keeps between runs, and the text of its settings file.
//
// The file ("settings" in the player's config folder, app/settings_keeper.h)
// is plain ASCII, one "key=value" a line, each line ending in a line feed (a
// carriage return before it is dropped):
//
//   # Munchet Fast Prototype: kept between runs   <- lines starting with '#',
//   name=Ada Lovelace                               and blank lines, are skipped
//   music-volume=80
//
//   name          the name typed last: everything after the first '=', kept
//                 as written (blanks included), 0 to 20 characters the game
//                 accepts in a name (printable ASCII but ';', '<' and '>')
//   music-volume  the music volume chosen with M: 0, 20, 40, 60, 80 or 100
//
// Keys may come in any order; a key that is absent keeps nothing (the game's
// own start value applies). A line the game cannot use (no '=', an unknown
// key, a value out of range, a key given twice) is reported and skipped, and
// the other lines still count. A file longer than MaxSettingsFileBytes is not
// read at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::size_t MaxSettingsFileBytes = 4096;

struct KeptSettings {
    std::optional<std::string> playerName;    // IsKeepableName holds
    std::optional<std::int32_t> musicVolume;  // IsKeepableVolume holds

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
