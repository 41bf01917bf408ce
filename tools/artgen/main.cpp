// munchet-artgen OUTDIR: writes the game's pictures and its font into OUTDIR
// (the game reads them from data/).
// munchet-artgen --icons OUTDIR: writes the desktop icon, munchet.svg and
// munchet-SIZE.png for each hicolor size (the install rules take them from
// packaging/icons/). The same program writes the same files.
#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/artgen/font_atlas.h"
#include "tools/artgen/icon.h"
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

bool writeText(const std::filesystem::path& dir, const char* name, const std::string& text) {
    std::ofstream out(dir / name, std::ios::binary);
    out << text;
    if (!out.flush()) {
        std::fprintf(stderr, "munchet-artgen: cannot write %s\n", name);
        return false;
    }
    return true;
}

int writeIcons(const std::filesystem::path& dir) {
    const std::vector<IconShape> shapes = IconShapes();
    if (!writeText(dir, "munchet.svg", IconSvg(shapes))) return 1;
    for (const int size : IconSizes) {
        const std::string name = "munchet-" + std::to_string(size) + ".png";
        if (!writePicture(dir, name.c_str(), DrawIcon(shapes, size))) return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool icons = argc == 3 && std::string(argv[1]) == "--icons";
    if (argc != 2 && !icons) {
        std::fprintf(stderr, "usage: munchet-artgen OUTDIR | munchet-artgen --icons OUTDIR\n");
        return 2;
    }
    const std::filesystem::path dir = argv[argc - 1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (icons) return writeIcons(dir);

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
    if (!writeText(dir, "font1.fnt", atlas.fontFile)) return 1;
    TTF_Quit();
    return 0;
}
