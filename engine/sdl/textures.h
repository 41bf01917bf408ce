#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"

struct SDL_Surface;

// Every loaded picture, kept as pixels in memory so that sizes are known and
// screenshots can be drawn without a window. Handles count from 1. It owns
// the pixels: it can be moved, not copied.
struct TextureTable {
    struct FreeSurface {
        void operator()(SDL_Surface* surface) const;
    };
    struct Entry {
        std::unique_ptr<SDL_Surface, FreeSurface> pixels;  // RGBA
        std::string path;
        // Unique over the whole run, so a renderer's copy of a picture is
        // never mistaken for the copy of another picture loaded in its place.
        std::uint64_t serial = 0;
    };
    std::vector<Entry> entries;

    TextureTable() = default;
    TextureTable(const TextureTable&) = delete;
    TextureTable& operator=(const TextureTable&) = delete;
    TextureTable(TextureTable&&) = default;
    TextureTable& operator=(TextureTable&&) = default;

    // 0 on failure, with the reason in error.
    TextureHandle Load(const char* path, std::string& error);
    const Entry* Find(TextureHandle texture) const;
    int Width(TextureHandle texture) const;
    int Height(TextureHandle texture) const;
    void Clear() { entries.clear(); }
};
