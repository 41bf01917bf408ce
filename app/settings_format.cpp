#include "app/settings_format.h"

#include "common/player_name.h"
#include "common/read_number.h"

namespace {

constexpr std::string_view NameKey = "name";
constexpr std::string_view VolumeKey = "music-volume";

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

// Why the value cannot be kept under key; empty when it was taken.
std::string Take(std::string_view key, std::string_view value, KeptSettings& settings) {
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
    return "unknown key " + Quoted(key);
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
                : Take(line.substr(0, equals), line.substr(equals + 1), reading.settings);
        if (!problem.empty()) reading.problems.push_back("line " + std::to_string(number) + ": " + problem);
    }
    return reading;
}

std::string FormatSettings(const KeptSettings& settings) {
    std::string text = "# Munchet Fast Prototype: kept between runs\n";
    if (settings.playerName) text += std::string(NameKey) + "=" + *settings.playerName + "\n";
    if (settings.musicVolume)
        text += std::string(VolumeKey) + "=" + std::to_string(*settings.musicVolume) + "\n";
    return text;
}
