// munchet-soundgen OUTDIR: writes the game's sound effects and music into
// OUTDIR (normally the repository's data/ directory).
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "tools/soundgen/soundgen.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: munchet-soundgen OUTDIR\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code code;
    std::filesystem::create_directories(dir, code);
    std::string error;
    if (!soundgen::WriteGameSounds(dir, error)) {
        std::fprintf(stderr, "munchet-soundgen: %s\n", error.c_str());
        return 1;
    }
    for (const std::string& name : soundgen::EffectFiles) std::printf("%s\n", (dir / name).c_str());
    std::printf("%s\n", (dir / soundgen::MusicFile).c_str());
    return 0;
}
