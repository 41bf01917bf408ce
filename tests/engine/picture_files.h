// Small PNG files for the drawing tests: written from a pixel function, read
// back pixel by pixel.
#pragma once

#include <SDL.h>
#include <SDL_image.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// A fresh directory under the system's temporary directory, removed with the object.
struct TempDirectory {
    std::filesystem::path path;
    TempDirectory() {
        static int counter = 0;
        path = std::filesystem::temp_directory_path() /
               ("munchet-engine-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        std::filesystem::create_directories(path);
    }
    ~TempDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string File(const char* name) const { return (path / name).string(); }
};

struct Rgba {
    int r = 0, g = 0, b = 0, a = 0;
};

// Writes a width × height RGBA PNG whose pixel (x, y) is pixel(x, y).
inline bool WritePng(const std::string& path, int width, int height,
                     const std::function<Rgba(int, int)>& pixel) {
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_RGBA32);
    if (!surface) return false;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgba c = pixel(x, y);
            auto* row = static_cast<std::uint8_t*>(surface->pixels) + y * surface->pitch;
            row[4 * x + 0] = static_cast<std::uint8_t>(c.r);
            row[4 * x + 1] = static_cast<std::uint8_t>(c.g);
            row[4 * x + 2] = static_cast<std::uint8_t>(c.b);
            row[4 * x + 3] = static_cast<std::uint8_t>(c.a);
        }
    const bool ok = IMG_SavePNG(surface, path.c_str()) == 0;
    SDL_FreeSurface(surface);
    return ok;
}

// A picture read back as RGBA bytes.
struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> bytes;

    static Picture Load(const std::string& path) { return Take(IMG_Load(path.c_str())); }
    // An SVG file drawn at width x height pixels by SDL_image.
    static Picture LoadSvg(const std::string& path, int width, int height) {
        SDL_RWops* file = SDL_RWFromFile(path.c_str(), "rb");
        if (!file) return {};
        Picture picture = Take(IMG_LoadSizedSVG_RW(file, width, height));
        SDL_RWclose(file);
        return picture;
    }
    // The pixels of a loaded surface, which it frees; empty for none.
    static Picture Take(SDL_Surface* loaded) {
        Picture picture;
        if (!loaded) return picture;
        SDL_Surface* rgba = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGBA32, 0);
        SDL_FreeSurface(loaded);
        if (!rgba) return picture;
        picture.width = rgba->w;
        picture.height = rgba->h;
        for (int y = 0; y < rgba->h; ++y) {
            const auto* row = static_cast<const std::uint8_t*>(rgba->pixels) + y * rgba->pitch;
            picture.bytes.insert(picture.bytes.end(), row, row + 4 * rgba->w);
        }
        SDL_FreeSurface(rgba);
        return picture;
    }
    Rgba At(int x, int y) const {
        const std::size_t i =
            4 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x));
        return {bytes[i], bytes[i + 1], bytes[i + 2], bytes[i + 3]};
    }
};
