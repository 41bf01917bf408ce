#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine.h"

struct SDL_Surface;

// Every loaded picture, kept as pixels in memory so that sizes are known and
// screenshots can be drawn without a window. Handles count from 1.
struct TextureTable {
    struct Entry {
        SDL_Surface* pixels = nullptr;  // RGBA, owned
        std::string path;
        // Unique over the whole run, so a renderer's copy of a picture is
        // never mistaken for the copy of another picture loaded in its place.
        std::uint64_t serial = 0;
    };
    std::vector<Entry> entries;

    // 0 on failure, with the reason in error.
    TextureHandle Load(const char* path, std::string& error);
    const Entry* Find(TextureHandle texture) const;
    int Width(TextureHandle texture) const;
    int Height(TextureHandle texture) const;
    void Clear();
    ~TextureTable() { Clear(); }
};
