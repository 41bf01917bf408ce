// The kept settings on disk (their format is in app/settings_format.h): read
// once when the game starts, written whenever they change.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "app/settings_format.h"

class SettingsKeeper {
public:
    // Gets one line (no line feed) for every problem with the file.
    using Log = std::function<void(const std::string& line)>;

    // path: the settings file, in a folder that exists; empty: nowhere to
    // keep anything (the settings then last one run).
    SettingsKeeper(std::string path, Log log);

    // The "settings" file in the player's config folder
    // (UserFolder(UserFolderKind::Config)); without one, logs why and keeps
    // nothing.
    static SettingsKeeper ForPlayer(Log log);

    // What the file keeps: nothing for a missing file. Every line skipped,
    // and a file that cannot be read, is logged; a broken file is left as it
    // is until the settings change. The window and the keys loaded are
    // written back with every change of the others.
    KeptSettings Load();

    // The settings the game starts with: taken as those on file, not written.
    void Start(std::string_view playerName, std::int32_t musicVolume);

    // Writes the settings (atomically) when they differ from the last ones
    // seen, by Start or by Keep; cheap otherwise, with no allocation, so it
    // may be asked every frame. A failure is logged once, and the write
    // tried again only when the settings change again. A value that cannot
    // be kept (not IsKeepableName / IsKeepableVolume) is left out.
    void Keep(std::string_view playerName, std::int32_t musicVolume);

    // As Keep, for the window's layout (a layout of nothing but zeros keeps
    // no window).
    void KeepWindow(const WindowLayout& window);

    const std::string& path() const { return path_; }

private:
    void Write();

    std::string path_;
    Log log_;
    std::string seenName_;
    std::int32_t seenVolume_ = 0;
    // The window and the keys as last loaded or kept.
    KeptSettings others_;
};
