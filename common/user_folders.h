// The folders in a player's home where the game keeps what it writes, laid
// out the way Linux desktops expect (the XDG base directory layout).
#pragma once

#include <optional>
#include <string>

enum class UserFolderKind {
    Data,    // $XDG_DATA_HOME/munchet, else ~/.local/share/munchet: outbox, replays
    State,   // $XDG_STATE_HOME/munchet, else ~/.local/state/munchet: the log of an installed game
    Config,  // $XDG_CONFIG_HOME/munchet, else ~/.config/munchet: settings
};

// The game's folder of that kind, created (with its parents, mode 0700) when
// missing. A variable that is unset, empty or not an absolute path is passed
// over, as the layout asks. nullopt, with the reason in error, when neither
// the variable nor HOME gives a usable folder or it cannot be created (a
// read-only home, for one); callers then go on without what it would hold.
std::optional<std::string> UserFolder(UserFolderKind kind, std::string& error);

// path, created (with its parents) when missing: for a folder a caller was
// given or one below a UserFolder. nullopt, with the reason in error, when it
// cannot be made or something other than a folder stands there.
std::optional<std::string> MadeFolder(const std::string& path, std::string& error);
