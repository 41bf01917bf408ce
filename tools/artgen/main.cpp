// munchet-artgen OUTDIR: writes the game's pictures and its font into OUTDIR
// (the game reads them from data/). The same program writes the same files.
#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tools/artgen/font_atlas.h"
#include "tools/artgen/pictures.h"

namespace {

constexpr int FontPointSize = 16;

bool writePicture(const std::filesystem::path& dir, const char* name, const Canvas& canvas) {
    std::string error;
    if (!SavePng(canvas.ToRgba8(), canvas.width, canvas.height, (dir / name).string(), error)) {
        std::fprintf(stderr, "munchet-artgen: cannot write %s: %s\n", name, error.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: munchet-artgen OUTDIR\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);

    bool ok = writePicture(dir, "ghost.png", DrawGhost()) &&
              writePicture(dir, "ghost_energy.png", DrawGhostEnergy()) &&
              writePicture(dir, "munchet.png", DrawMunchet()) && writePicture(dir, "food.png", DrawFood()) &&
              writePicture(dir, "door.png", DrawDoor());
    if (!ok) return 1;

    FontAtlas atlas;
    std::string error;
    if (!MakeFontAtlas(MUNCHET_FONT_FILE, FontPointSize, "font1.png", atlas, error)) {
        std::fprintf(stderr, "munchet-artgen: cannot rasterise %s: %s\n", MUNCHET_FONT_FILE, error.c_str());
        return 1;
    }
    if (!SavePng(atlas.rgba, atlas.width, atlas.height, (dir / "font1.png").string(), error)) {
        std::fprintf(stderr, "munchet-artgen: cannot write font1.png: %s\n", error.c_str());
        return 1;
    }
    std::ofstream fnt(dir / "font1.fnt", std::ios::binary);
    fnt << atlas.fontFile;
    if (!fnt.flush()) {
        std::fprintf(stderr, "munchet-artgen: cannot write font1.fnt\n");
        return 1;
    }
    TTF_Quit();
    return 0;
}
