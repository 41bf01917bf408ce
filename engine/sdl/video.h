// The window, its renderer, and the pictures drawn without one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/sdl/quad_batch.h"
#include "engine/sdl/textures.h"
#include "engine/window_layout.h"

struct SDL_Window;
struct SDL_Renderer;

struct VideoConfig {
    std::string title;
    int width = 1024;  // logical scene size, pixels
    int height = 768;
    bool windowed = false;  // false: desktop full screen, scene scaled and letterboxed
    WindowLayout layout{};  // windowed only
};

// The window and its renderer, and the quad batch that draws into it.
//
// Full screen is the desktop's own mode (no mode switch): the scene keeps its
// logical size and SDL scales it to fit, aspect kept, with black bars.
// Windowed is a resizable window that fits the desktop's usable area (less
// the window's frame, where SDL can tell it), of the kept size when that
// still fits; the scene is scaled to the window, letterboxed, or drawn at
// whole multiples when asked. The mouse pointer is hidden over the window.
struct Video {
    Video() = default;
    Video(const Video&) = delete;
    Video& operator=(const Video&) = delete;
    ~Video() { Close(); }

    // Opens the window; false with the reason in error. Needs SDL's video
    // subsystem started.
    bool Open(const VideoConfig& config, std::string& error);
    void Close();
    bool IsOpen() const { return window != nullptr; }

    // The window changed size: the scene's scaling follows.
    void Resized();
    // The window's layout now; false when there is no window or it is full screen.
    bool Layout(WindowLayout& layout) const;
    // The window's inside, pixels.
    int Width() const;
    int Height() const;

    void BeginScene();
    void Clear(std::uint32_t colour);  // 0xAARRGGBB; alpha ignored
    // Queues one quad; the batch is drawn on a texture or blend change and at EndScene.
    void Submit(const Quad& quad, const TextureTable& textures);
    void EndScene();  // flushes and presents
    // Draws what is queued without presenting (to read the back buffer).
    void Flush() { batch.Flush(); }

    // The renderer lost its textures (SDL_RENDER_DEVICE_RESET): they are
    // made again from the pictures as quads use them.
    void ForgetTextures() { batch.Attach(renderer, true); }

    // Geometry calls the last finished scene took.
    int LastSceneDrawCalls() const { return lastSceneDrawCalls; }
    // The name of the SDL render driver in use ("opengl", "software", ...).
    std::string RendererName() const;
    // A texture the renderer refused since the last call, else empty.
    std::string TakeTextureError();

    // Draws the quads, as the window would, into an offscreen picture of the
    // given size (opaque, cleared to clearColour) with SDL's software
    // renderer and writes it as PNG. Needs no window and no display; the
    // same quads give the same pixels on every run.
    static bool Screenshot(int width, int height, std::uint32_t clearColour, const std::vector<Quad>& quads,
                           const TextureTable& textures, const char* path, std::string& error);

    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;

private:
    bool OpenFittingWindow(const VideoConfig& config);
    void ScaleScene();

    QuadBatch batch;
    int sceneWidth = 0, sceneHeight = 0;
    bool windowed = false, wholeMultiples = false;
    // The size the window last had while neither maximised nor full screen.
    int restoredWidth = 0, restoredHeight = 0;
    int lastSceneDrawCalls = 0;
};
