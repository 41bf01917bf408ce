// Every picture the game loaded in the browser: decoded from the preloaded
// files by the module's own PNG decoder and handed to WebGL, sizes kept.
// Handles count from 1 in load order, as on every platform.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine.h"

struct WebTextures {
    struct Entry {
        unsigned texture = 0;  // the GL texture; 0 with no context
        int width = 0, height = 0;
        std::string path;
    };

    WebTextures() = default;
    WebTextures(const WebTextures&) = delete;
    WebTextures& operator=(const WebTextures&) = delete;
    ~WebTextures() { Clear(); }

    // uploads: a GL context is current and the pictures go to it; else only
    // their sizes are kept. 0 with the reason in error on failure.
    TextureHandle Load(const char* path, bool upload, std::string& error);
    const Entry* Find(TextureHandle texture) const;
    int Width(TextureHandle texture) const;
    int Height(TextureHandle texture) const;
    // Lets go of the GL textures (the context must still be current).
    void Clear();

private:
    std::vector<Entry> entries;
};
