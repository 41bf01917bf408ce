#include "app/settings_keeper.h"

#include <optional>
#include <utility>

#include "common/user_folders.h"
#include "common/whole_file.h"

SettingsKeeper::SettingsKeeper(std::string path, Log log) : path_(std::move(path)), log_(std::move(log)) {}

SettingsKeeper SettingsKeeper::ForPlayer(Log log) {
    std::string error;
    const std::optional<std::string> folder = UserFolder(UserFolderKind::Config, error);
    if (!folder) {
        log("settings: nowhere to keep them (" + error + "); the name and music volume last this run only");
        return SettingsKeeper("", std::move(log));
    }
    return SettingsKeeper(*folder + "/settings", std::move(log));
}

KeptSettings SettingsKeeper::Load() {
    if (path_.empty()) return {};
    std::string text, error;
    bool missing = false;
    if (!ReadBoundedFile(path_, MaxSettingsFileBytes, text, missing, error)) {
        log_("settings: " + error + "; not used");
        return {};
    }
    const SettingsReading reading = ParseSettings(text);
    for (const std::string& problem : reading.problems)
        log_("settings: " + path_ + ": " + problem + "; skipped");
    others_.window = reading.settings.window;
    others_.keys = reading.settings.keys;
    return reading.settings;
}

void SettingsKeeper::Start(std::string_view playerName, std::int32_t musicVolume) {
    seenName_ = playerName;
    seenVolume_ = musicVolume;
}

void SettingsKeeper::Keep(std::string_view playerName, std::int32_t musicVolume) {
    if (playerName == seenName_ && musicVolume == seenVolume_) return;
    seenName_ = playerName;
    seenVolume_ = musicVolume;
    Write();
}

void SettingsKeeper::KeepWindow(const WindowLayout& window) {
    if (window == others_.window) return;
    others_.window = window;
    Write();
}

void SettingsKeeper::Write() {
    if (path_.empty()) return;
    KeptSettings settings = others_;
    if (IsKeepableName(seenName_)) settings.playerName = seenName_;
    if (IsKeepableVolume(seenVolume_)) settings.musicVolume = seenVolume_;
    std::string error;
    if (!ReplaceFile(path_, FormatSettings(settings), error)) log_("settings: not kept: " + error);
}
