#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/textures.h"

struct SDL_Window;
struct SDL_Renderer;

struct VideoConfig {
    std::string title;
    int width = 1024;   // logical scene size, pixels
    int height = 768;
    bool windowed = false;  // false: desktop full screen, scene scaled and letterboxed
};

// The window and its renderer, and the quad batcher that draws into it.
struct Video {
    // Opens the window; false with the reason in error.
    bool Open(const VideoConfig& config, std::string& error);
    void Close();
    bool IsOpen() const { return window != nullptr; }

    void BeginScene();
    void Clear(std::uint32_t colour);
    // Queues one quad; the batch is drawn on a texture or blend change and at EndScene.
    void Submit(const Quad& quad, const TextureTable& textures);
    void EndScene();  // flushes and presents

    // Draws the quads, as the window would, into an offscreen picture of the
    // given size and writes it as PNG. Needs no window.
    static bool Screenshot(int width, int height, std::uint32_t clearColour, const std::vector<Quad>& quads,
                           const TextureTable& textures, const char* path, std::string& error);

    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
};
