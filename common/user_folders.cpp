#include "common/user_folders.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

struct Layout {
    const char* variable;  // the variable that names the base folder
    const char* fallback;  // the base folder under HOME when it does not
};

Layout LayoutOf(UserFolderKind kind) {
    switch (kind) {
        case UserFolderKind::Data:
            return {"XDG_DATA_HOME", ".local/share"};
        case UserFolderKind::State:
            return {"XDG_STATE_HOME", ".local/state"};
        case UserFolderKind::Config:
            return {"XDG_CONFIG_HOME", ".config"};
    }
    return {"XDG_DATA_HOME", ".local/share"};
}

// A base folder must be absolute: a relative one would land wherever the game
// happens to be started.
std::optional<std::filesystem::path> AbsoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    if (!value || value[0] != '/') return std::nullopt;
    return std::filesystem::path(value);
}

bool MakeFolder(const std::string& path, std::string& error, bool& created) {
    std::error_code code;
    created = std::filesystem::create_directories(path, code);
    if (code || !std::filesystem::is_directory(path, code)) {
        error = "cannot create " + path + (code ? ": " + code.message() : "");
        return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> UserFolder(UserFolderKind kind, std::string& error) {
    namespace fs = std::filesystem;
    const Layout layout = LayoutOf(kind);
    std::optional<fs::path> base = AbsoluteVariable(layout.variable);
    if (!base) {
        const std::optional<fs::path> home = AbsoluteVariable("HOME");
        if (!home) {
            error = std::string("neither ") + layout.variable + " nor HOME names a folder";
            return std::nullopt;
        }
        base = *home / layout.fallback;
    }
    const std::string folder = (*base / "munchet").string();
    bool created = false;
    if (!MakeFolder(folder, error, created)) return std::nullopt;
    // What a player keeps here is theirs alone; a folder they made themselves
    // keeps the permissions they gave it.
    std::error_code code;
    if (created) fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, code);
    return folder;
}

std::optional<std::string> MadeFolder(const std::string& path, std::string& error) {
    bool created = false;
    if (!MakeFolder(path, error, created)) return std::nullopt;
    return path;
}
