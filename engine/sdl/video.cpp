#include "engine/sdl/video.h"

#include <SDL.h>
#include <SDL_image.h>

namespace {

void ClearTo(SDL_Renderer* renderer, std::uint32_t colour) {
    SDL_SetRenderDrawColor(renderer, static_cast<Uint8>(colour >> 16), static_cast<Uint8>(colour >> 8),
                           static_cast<Uint8>(colour), 255);
    SDL_RenderClear(renderer);
}

}  // namespace

bool Video::Open(const VideoConfig& config, std::string& error) {
    Close();
    if (config.width <= 0 || config.height <= 0) {
        error = "bad screen size " + std::to_string(config.width) + "x" + std::to_string(config.height);
        return false;
    }
    if (config.windowed) {
        window = SDL_CreateWindow(config.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                  config.width, config.height, 0);
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
