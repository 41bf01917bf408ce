// libFuzzer target over the settings file reader: any bytes must read without
// a fault, every setting read must be one the game can keep, and writing what
// was read must read back as the same settings with no problem.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/settings_format.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const SettingsReading reading =
        ParseSettings(std::string_view(reinterpret_cast<const char*>(data), size));
    const KeptSettings& settings = reading.settings;
    check(!settings.playerName || IsKeepableName(*settings.playerName));
    check(!settings.musicVolume || IsKeepableVolume(*settings.musicVolume));
    check(settings.window.width >= 0 && settings.window.width <= MaxWindowSide);
    check(settings.window.height >= 0 && settings.window.height <= MaxWindowSide);
    for (const auto& [setting, keyName] : settings.keys)
        check(!keyName.empty() && keyName.size() <= MaxKeyNameLength);
    const SettingsReading again = ParseSettings(FormatSettings(settings));
    check(again.problems.empty());
    check(again.settings == settings);
    return 0;
}
