#include "app/file_locations.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

#include "common/user_folders.h"

namespace {

namespace fs = std::filesystem;

bool RunsFromDataFolder() {
    std::error_code ignored;
    return fs::is_directory("data", ignored);
}

// The folder that holds the installed data/, from where this executable
// lies; MUNCHET_DATA_FROM_BIN is set by the install rules, which put both.
std::optional<fs::path> InstalledDataRoot() {
    std::error_code code;
    const fs::path executable = fs::read_symlink("/proc/self/exe", code);
    if (code) return std::nullopt;
    const fs::path root = (executable.parent_path() / MUNCHET_DATA_FROM_BIN).lexically_normal();
    if (!fs::is_directory(root / "data", code)) return std::nullopt;
    return root;
}

}  // namespace

std::string DataFile(std::string_view name) {
    if (RunsFromDataFolder()) return std::string(name);
    const std::optional<fs::path> root = InstalledDataRoot();
    return root ? (*root / name).string() : std::string(name);
}

std::string LogFile() {
    if (RunsFromDataFolder()) return "error.log";
    std::string error;
    const std::optional<std::string> folder = UserFolder(UserFolderKind::State, error);
    if (!folder) {
        std::fprintf(stderr, "munchet: %s; writing error.log here\n", error.c_str());
        return "error.log";
    }
    return (fs::path(*folder) / "error.log").string();
}
