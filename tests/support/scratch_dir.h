// A fresh directory under the system's temporary directory, removed with its
// contents when the test is done.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

struct ScratchDir {
    std::filesystem::path path;

    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "munchet-test-XXXXXX").string();
        if (mkdtemp(pattern.data())) path = pattern;
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    ~ScratchDir() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
    std::string File(std::string_view name) const { return (path / name).string(); }
};
