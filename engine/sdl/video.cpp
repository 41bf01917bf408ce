#include "engine/sdl/video.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>

namespace {

void ClearTo(SDL_Renderer* renderer, std::uint32_t colour) {
    SDL_SetRenderDrawColor(renderer, static_cast<Uint8>(colour >> 16), static_cast<Uint8>(colour >> 8),
                           static_cast<Uint8>(colour), 255);
    SDL_RenderClear(renderer);
}

}  // namespace

bool Video::OpenFittingWindow(const VideoConfig& config) {
    SDL_Rect area{0, 0, config.width, config.height};
    if (SDL_GetDisplayUsableBounds(0, &area) != 0) SDL_GetDisplayBounds(0, &area);
    WindowFit fit = FitWindow(config.layout, config.width, config.height, area.w, area.h);
    // Made at its size, centred by SDL: X11 ignores a move of a window that
    // is not shown yet.
    window = SDL_CreateWindow(config.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, fit.width,
                              fit.height, SDL_WINDOW_RESIZABLE);
    if (!window) return false;
    SDL_SetWindowMinimumSize(window, MinWindowWidth, MinWindowHeight);
    // The frame is known only once the window is shown; with it, the
    // window may no longer fit.
    int top = 0, left = 0, bottom = 0, right = 0;
    if (SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) == 0 &&
        (top | left | bottom | right)) {
        const int availableWidth = area.w - left - right, availableHeight = area.h - top - bottom;
        const WindowFit framed =
            FitWindow(config.layout, config.width, config.height, availableWidth, availableHeight);
        if (framed.width != fit.width || framed.height != fit.height) {
            fit = framed;
            SDL_SetWindowSize(window, fit.width, fit.height);
            SDL_SetWindowPosition(window, area.x + left + std::max(0, (availableWidth - fit.width) / 2),
                                  area.y + top + std::max(0, (availableHeight - fit.height) / 2));
        }
    }
    restoredWidth = fit.width;
    restoredHeight = fit.height;
    if (config.layout.maximised) SDL_MaximizeWindow(window);
    return true;
}

bool Video::Open(const VideoConfig& config, std::string& error) {
    Close();
    if (config.width <= 0 || config.height <= 0) {
        error = "bad screen size " + std::to_string(config.width) + "x" + std::to_string(config.height);
        return false;
    }
    sceneWidth = config.width;
    sceneHeight = config.height;
    windowed = config.windowed;
    wholeMultiples = config.windowed && config.layout.wholeMultiples;
    if (config.windowed) {
        OpenFittingWindow(config);
    } else {
        // Made with the desktop's own place and size: without a window manager
        // to obey the full-screen request, the window still covers the screen.
        SDL_Rect desktop{0, 0, config.width, config.height};
        SDL_GetDisplayBounds(0, &desktop);
        window = SDL_CreateWindow(config.title.c_str(), desktop.x, desktop.y, desktop.w, desktop.h,
                                  SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    if (!window) {
        error = std::string("cannot open a window: ") + SDL_GetError();
        return false;
    }
    // No vsync: the frame loop paces itself at the game's frame rate, which
    // need not be the display's.
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED);
    if (!renderer) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer) {
        error = std::string("cannot create a renderer: ") + SDL_GetError();
        Close();
        return false;
    }
    if (SDL_RenderSetLogicalSize(renderer, config.width, config.height) != 0) {
        error = std::string("cannot scale the scene: ") + SDL_GetError();
        Close();
        return false;
    }
    ScaleScene();
    SDL_ShowCursor(SDL_DISABLE);
    SDL_StartTextInput();
    batch.Attach(renderer, true);
    ClearTo(renderer, 0);
    SDL_RenderPresent(renderer);
    return true;
}

void Video::Close() {
    batch.Detach();
    if (renderer) SDL_DestroyRenderer(renderer);
    renderer = nullptr;
    if (window) {
        SDL_StopTextInput();
        SDL_ShowCursor(SDL_ENABLE);
        SDL_DestroyWindow(window);
    }
    window = nullptr;
}

void Video::ScaleScene() {
    // Whole multiples only from 1x up: below it they would crop the scene.
    const bool whole = wholeMultiples && Width() >= sceneWidth && Height() >= sceneHeight;
    SDL_RenderSetIntegerScale(renderer, whole ? SDL_TRUE : SDL_FALSE);
}

void Video::Resized() {
    if (!window || !renderer) return;
    if (windowed && !(SDL_GetWindowFlags(window) & (SDL_WINDOW_MAXIMIZED | SDL_WINDOW_FULLSCREEN)))
        SDL_GetWindowSize(window, &restoredWidth, &restoredHeight);
    ScaleScene();
}

bool Video::Layout(WindowLayout& layout) const {
    if (!window || !windowed) return false;
    layout.width = restoredWidth;
    layout.height = restoredHeight;
    layout.maximised = (SDL_GetWindowFlags(window) & SDL_WINDOW_MAXIMIZED) != 0;
    layout.wholeMultiples = wholeMultiples;
    return true;
}

int Video::Width() const {
    int width = 0;
    if (window) SDL_GetWindowSize(window, &width, nullptr);
    return width;
}

int Video::Height() const {
    int height = 0;
    if (window) SDL_GetWindowSize(window, nullptr, &height);
    return height;
}

void Video::BeginScene() { batch.drawCalls = 0; }

void Video::Clear(std::uint32_t colour) {
    if (!renderer) return;
    batch.Flush();
    ClearTo(renderer, colour);
}

void Video::Submit(const Quad& quad, const TextureTable& textures) { batch.Add(quad, textures); }

void Video::EndScene() {
    if (!renderer) return;
    batch.Flush();
    lastSceneDrawCalls = batch.drawCalls;
    SDL_RenderPresent(renderer);
}

std::string Video::RendererName() const {
    SDL_RendererInfo info;
    if (!renderer || SDL_GetRendererInfo(renderer, &info) != 0 || !info.name) return "";
    return info.name;
}

std::string Video::TakeTextureError() {
    std::string error;
    error.swap(batch.textureError);
    return error;
}

bool Video::Screenshot(int width, int height, std::uint32_t clearColour, const std::vector<Quad>& quads,
                       const TextureTable& textures, const char* path, std::string& error) {
    if (width <= 0 || height <= 0 || !path) {
        error = "bad picture size or path";
        return false;
    }
    // Opaque like a screen: what the clear colour's alpha says does not matter.
    SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_RGB888);
    if (!target) {
        error = SDL_GetError();
        return false;
    }
    SDL_Renderer* software = SDL_CreateSoftwareRenderer(target);
    if (!software) {
        error = SDL_GetError();
        SDL_FreeSurface(target);
        return false;
    }
    bool saved = false;
    {
        QuadBatch pictureBatch;
        pictureBatch.Attach(software, false);
        ClearTo(software, clearColour);
        for (const Quad& quad : quads) pictureBatch.Add(quad, textures);
        pictureBatch.Flush();
        SDL_RenderFlush(software);
        saved = IMG_SavePNG(target, path) == 0;
        if (!saved) error = IMG_GetError();
        pictureBatch.Detach();
    }
    SDL_DestroyRenderer(software);
    SDL_FreeSurface(target);
    return saved;
}
