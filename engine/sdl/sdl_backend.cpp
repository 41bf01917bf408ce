#include "engine/sdl/sdl_backend.h"

#include <SDL.h>

#include "engine/engine_impl.h"
#include "engine/sdl/sdl_platform.h"
#include "engine/sdl/sound_library_messages.h"

std::unique_ptr<Backend> SdlPlatform() { return std::make_unique<SdlBackend>(); }

bool SdlBackend::Open(const BackendConfig& config, EngineImpl& engine, std::string& error) {
    // Before any thread is started and before OpenAL is first called.
    RouteSoundLibraryMessages();
    std::string note;
    if (config.headless) {
        audio.Open(config.loopbackAudio ? Audio::Mode::Loopback : Audio::Mode::Silent, note);
        if (!note.empty()) engine.Log("%s", note.c_str());
        return true;
    }
    // One after the other, never side by side: starting SDL may fork a helper
    // (D-Bus's autolaunch), and a child forked while another thread holds a
    // lock can wait on it for ever, and the start with it.
    if (!OpenWindow(config, error)) {
        Close();
        return false;
    }
    audio.Open(Audio::Mode::Device, note);
    engine.Log("Window %dx%d %s, renderer %s", video.Width(), video.Height(),
               config.windowed ? "windowed" : "full screen", video.RendererName().c_str());
    keys = KeyMap();
    for (const std::string& problem : keys.Bind(config.keys)) engine.Log("Keys: %s", problem.c_str());
    if (!note.empty()) engine.Log("%s", note.c_str());
    LogSoundLibraryMessages(engine);
    if (!padNote.empty()) engine.Log("%s", padNote.c_str());
    return true;
}

const char* SdlBackend::KeyLabel(int code) {
    if (!video.IsOpen() || code <= 0 || code > 255) return nullptr;
    const SDL_Scancode scancode = keys.PhysicalKey(code);
    if (scancode == SDL_SCANCODE_UNKNOWN) return nullptr;
    // The layout's name for the key; the position's own name for keys
    // whose character SDL cannot name.
    const char* name = SDL_GetKeyName(SDL_GetKeyFromScancode(scancode));
    if (!name || !*name) name = SDL_GetScancodeName(scancode);
    if (!name || !*name) return nullptr;
    std::array<char, 32>& label = labels[static_cast<std::size_t>(code)];
    SDL_strlcpy(label.data(), name, label.size());
    return label.data();
}

void LogSoundLibraryMessages(EngineImpl& engine) {
    const SoundLibraryMessages messages = TakeSoundLibraryMessages();
    for (const std::string& line : messages.lines) engine.LogDetail("%s", line.c_str());
    if (messages.dropped > 0) engine.LogDetail("ALSA: %d more messages", messages.dropped);
}

bool SdlBackend::OpenWindow(const BackendConfig& config, std::string& error) {
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) {
        error = std::string("cannot start SDL video: ") + SDL_GetError();
        return false;
    }
    sdlStarted = true;
    // SDL drops pad presses while none of its windows has the keyboard,
    // which on an X server without a window manager is always. The loop
    // pauses the game itself while the window is away, and a pad's state
    // followed meanwhile is still right when the game comes back.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    // Without pads the game is played on the keyboard as ever.
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0)
        padNote = std::string("No gamepads: ") + SDL_GetError();
    VideoConfig window;
    window.title = config.title;
    window.width = config.width;
    window.height = config.height;
    window.windowed = config.windowed;
    window.layout = config.window;
    return video.Open(window, error);
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
