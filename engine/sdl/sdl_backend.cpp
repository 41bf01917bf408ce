#include "engine/sdl/sdl_backend.h"

#include <SDL.h>

#include "engine/engine_impl.h"
#include "engine/sdl/sdl_platform.h"

std::unique_ptr<Backend> SdlPlatform() { return std::make_unique<SdlBackend>(); }

bool SdlBackend::Open(const BackendConfig& config, EngineImpl& engine, std::string& error) {
    std::string note;
    if (config.headless) {
        audio.Open(config.loopbackAudio ? Audio::Mode::Loopback : Audio::Mode::Silent, note);
        if (!note.empty()) engine.Log("%s", note.c_str());
        return true;
    }
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) {
        error = std::string("cannot start SDL video: ") + SDL_GetError();
        return false;
    }
    sdlStarted = true;
    VideoConfig video;
    video.title = config.title;
    video.width = config.width;
    video.height = config.height;
    video.windowed = config.windowed;
    if (!this->video.Open(video, error)) {
        Close();
        return false;
    }
    engine.Log("Window %dx%d %s, renderer %s", video.width, video.height,
               video.windowed ? "windowed" : "full screen", this->video.RendererName().c_str());
    audio.Open(Audio::Mode::Device, note);
    if (!note.empty()) engine.Log("%s", note.c_str());
    return true;
}

void SdlBackend::Close() {
    audio.Close();
    textures.Clear();
    video.Close();
    if (sdlStarted) SDL_Quit();
    sdlStarted = false;
}

void SdlBackend::BeginScene() {
    if (video.IsOpen()) video.BeginScene();
}

void SdlBackend::Clear(std::uint32_t colour) {
    if (video.IsOpen()) video.Clear(colour);
}

void SdlBackend::Submit(const Quad& quad) {
    if (video.IsOpen()) video.Submit(quad, textures);
}

void SdlBackend::EndScene() {
    if (video.IsOpen()) video.EndScene();
}

bool SdlBackend::Screenshot(int width, int height, std::uint32_t clearColour, const std::vector<Quad>& quads,
                            const char* path, std::string& error) {
    return Video::Screenshot(width, height, clearColour, quads, textures, path, error);
}
