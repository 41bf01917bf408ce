#include "app/settings_format.h"

#include <algorithm>

#include "app/key_settings.h"
#include "common/player_name.h"
#include "common/read_number.h"

namespace {

constexpr std::string_view NameKey = "name";
constexpr std::string_view VolumeKey = "music-volume";
constexpr std::string_view WindowSizeKey = "window-size";
constexpr std::string_view MaximisedKey = "window-maximised";
constexpr std::string_view ScalingKey = "window-scaling";

// A piece of the file as a log line may quote it: at most 24 characters,
// every byte outside printable ASCII shown as '?'.
std::string Quoted(std::string_view text) {
    constexpr std::size_t Shown = 24;
    std::string out = "\"";
    for (const char c : text.substr(0, Shown))
        out += static_cast<unsigned char>(c) >= 32 && static_cast<unsigned char>(c) <= 126 ? c : '?';
    out += text.size() > Shown ? "...\"" : "\"";
    return out;
}

std::optional<WindowFit> ReadWindowSize(std::string_view value) {
    const std::size_t x = value.find('x');
    if (x == std::string_view::npos) return std::nullopt;
    const auto width = ReadDecimal(value.substr(0, x), MaxWindowSide);
    const auto height = ReadDecimal(value.substr(x + 1), MaxWindowSide);
    if (!width || !height || *width == 0 || *height == 0) return std::nullopt;
    return WindowFit{static_cast<int>(*width), static_cast<int>(*height)};
}

bool IsKeyName(std::string_view name) {
    return !name.empty() && name.size() <= MaxKeyNameLength &&
           std::all_of(name.begin(), name.end(), [](char c) { return c >= 32 && c <= 126; });
}

// The window's and the keys' lines; why the value cannot be kept, empty when
// it was taken. seen: the keys taken so far.
std::string TakeWindowOrKey(std::string_view key, std::string_view value, KeptSettings& settings,
                            std::vector<std::string>& seen) {
    const bool isKeySetting = std::any_of(KeySettings.begin(), KeySettings.end(),
                                          [&](const KeySetting& k) { return k.name == key; });
    if (!isKeySetting && key != WindowSizeKey && key != MaximisedKey && key != ScalingKey)
        return "unknown key " + Quoted(key);
    if (std::find(seen.begin(), seen.end(), key) != seen.end()) return std::string(key) + " given twice";
    if (isKeySetting) {
        if (!IsKeyName(value)) return std::string(key) + " is no key name: " + Quoted(value);
        settings.keys.emplace(std::string(key), std::string(value));
    } else if (key == WindowSizeKey) {
        const std::optional<WindowFit> size = ReadWindowSize(value);
        if (!size) return "window-size is not WIDTHxHEIGHT: " + Quoted(value);
        settings.window.width = size->width;
        settings.window.height = size->height;
    } else if (key == MaximisedKey) {
        if (value != "yes" && value != "no") return "window-maximised is not yes or no: " + Quoted(value);
        settings.window.maximised = value == "yes";
    } else {
        if (value != "fit" && value != "whole") return "window-scaling is not fit or whole: " + Quoted(value);
        settings.window.wholeMultiples = value == "whole";
    }
    seen.emplace_back(key);
    return {};
}

// Why the value cannot be kept under key; empty when it was taken.
std::string Take(std::string_view key, std::string_view value, KeptSettings& settings,
                 std::vector<std::string>& seen) {
    if (key == NameKey) {
        if (settings.playerName) return "name given twice";
        if (!IsKeepableName(value)) return "not a name the game accepts: " + Quoted(value);
        settings.playerName = std::string(value);
        return {};
    }
    if (key == VolumeKey) {
        if (settings.musicVolume) return "music-volume given twice";
        const std::optional<std::uint32_t> volume = ReadDecimal(value, 100);
        if (!volume || !IsKeepableVolume(static_cast<std::int32_t>(*volume)))
            return "music-volume is not 0, 20, 40, 60, 80 or 100: " + Quoted(value);
        settings.musicVolume = static_cast<std::int32_t>(*volume);
        return {};
    }
    return TakeWindowOrKey(key, value, settings, seen);
}

}  // namespace

bool IsKeepableName(std::string_view name) {
    if (name.size() > MaxPlayerNameLength) return false;
    for (const char c : name)
        if (!IsPlayerNameCharacter(c)) return false;
    return true;
}

bool IsKeepableVolume(std::int32_t volume) { return volume >= 0 && volume <= 100 && volume % 20 == 0; }

SettingsReading ParseSettings(std::string_view text) {
    SettingsReading reading;
    if (text.size() > MaxSettingsFileBytes) {
        reading.problems.push_back("longer than " + std::to_string(MaxSettingsFileBytes) +
                                   " bytes; not read");
        return reading;
    }
    int number = 0;
    std::vector<std::string> seen;
    while (!text.empty()) {
        ++number;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.empty() || line.starts_with('#')) continue;
        const std::size_t equals = line.find('=');
        const std::string problem =
            equals == std::string_view::npos
                ? "no '=' in " + Quoted(line)
                : Take(line.substr(0, equals), line.substr(equals + 1), reading.settings, seen);
        if (!problem.empty()) reading.problems.push_back("line " + std::to_string(number) + ": " + problem);
    }
    return reading;
}

std::string FormatSettings(const KeptSettings& settings) {
    std::string text = "# Munchet Fast Prototype: kept between runs\n";
    if (settings.playerName) text += std::string(NameKey) + "=" + *settings.playerName + "\n";
    if (settings.musicVolume)
        text += std::string(VolumeKey) + "=" + std::to_string(*settings.musicVolume) + "\n";
    const WindowLayout& window = settings.window;
    if (window.width > 0 && window.height > 0)
        text += std::string(WindowSizeKey) + "=" + std::to_string(window.width) + "x" +
                std::to_string(window.height) + "\n";
    if (window != WindowLayout{}) {
        text += std::string(MaximisedKey) + (window.maximised ? "=yes\n" : "=no\n");
        text += std::string(ScalingKey) + (window.wholeMultiples ? "=whole\n" : "=fit\n");
    }
    for (const auto& [setting, keyName] : settings.keys) text += setting + "=" + keyName + "\n";
    return text;
}
