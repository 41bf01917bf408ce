// The engine's core: states, start and shutdown, the log, random numbers,
// the timer, input as the game sees it, files, and the headless frame runner.
#include <SDL.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/engine_impl.h"

namespace {

// The one engine; hgeCreate hands out references to it.
Engine* theEngine = nullptr;

}  // namespace

Engine* hgeCreate(int version) {
    if (version != EngineVersion) return nullptr;
    if (!theEngine) {
        theEngine = new Engine;
        theEngine->impl = new EngineImpl;
    }
    theEngine->impl->references += 1;
    return theEngine;
}

void Engine::Release() {
    if (--impl->references > 0) return;
    System_Shutdown();
    delete impl;
    impl = nullptr;
    if (theEngine == this) theEngine = nullptr;
    delete this;
}

// --- Log ---------------------------------------------------------------------

void EngineImpl::Log(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::fprintf(stderr, "%s\n", line);
    if (log) {
        std::fprintf(log, "%s\n", line);
        std::fflush(log);
    }
}

void Engine::System_Log(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    impl->Log("%s", line);
}

const char* Engine::System_GetErrorMessage() const { return impl->error.c_str(); }

// --- States --------------------------------------------------------------------

void Engine::System_SetState(BoolState state, bool value) {
    if (state == StateWindowed) impl->windowed = value;
    // The splash screen is never shown; StateShowSplash is accepted and ignored.
}

void Engine::System_SetState(FuncState state, FrameCallback value) {
    if (state == StateFrameFunc) impl->frameFunc = value;
    if (state == StateRenderFunc) impl->renderFunc = value;
}

void Engine::System_SetState(IntState state, int value) {
    switch (state) {
        case StateScreenWidth:
            impl->screenWidth = value;
            break;
        case StateScreenHeight:
            impl->screenHeight = value;
            break;
        case StateScreenBpp:
            impl->screenBpp = value;
            break;
        case StateFps:
            impl->fps = value > 0 ? value : 100;
            break;
    }
}

void Engine::System_SetState(StringState state, const char* value) {
    const std::string text = value ? value : "";
    if (state == StateTitle) {
        impl->title = text;
    } else if (state == StateLogFile) {
        // A fresh log each run; an empty name logs to stderr only.
        if (impl->log) std::fclose(impl->log);
        impl->log = nullptr;
        impl->logFile = text;
        if (!text.empty()) impl->log = std::fopen(text.c_str(), "w");
    }
}

// --- Start and shutdown --------------------------------------------------------

bool Engine::System_Initiate() {
    EngineImpl& e = *impl;
    if (e.initiated) return true;
    if (e.headless) {
        if (e.headlessOptions.failInitiate) {
            e.error = "cannot open a window (simulated)";
            e.Log("System_Initiate: %s", e.error.c_str());
            return false;
        }
        std::string note;
        e.audio.Open(e.headlessOptions.loopbackAudio ? Audio::Mode::Loopback : Audio::Mode::Silent, note);
        e.initiated = true;
        Journal_Begin();
        return true;
    }
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) {
        e.error = std::string("cannot start SDL video: ") + SDL_GetError();
        e.Log("System_Initiate: %s", e.error.c_str());
        return false;
    }
    e.sdlStarted = true;
    VideoConfig config;
    config.title = e.title;
    config.width = e.screenWidth;
    config.height = e.screenHeight;
    config.windowed = e.windowed;
    if (!e.video.Open(config, e.error)) {
        e.Log("System_Initiate: %s", e.error.c_str());
        SDL_Quit();
        e.sdlStarted = false;
        return false;
    }
    e.Log("Window %dx%d %s, renderer %s", config.width, config.height,
          config.windowed ? "windowed" : "full screen", e.video.RendererName().c_str());
    std::string note;
    e.audio.Open(Audio::Mode::Device, note);
    if (!note.empty()) e.Log("%s", note.c_str());
    e.initiated = true;
    Journal_Begin();
    return true;
}

bool Engine::System_Start() {
    EngineImpl& e = *impl;
    if (!e.initiated || !e.frameFunc) return false;
    if (e.headless) {
        // A journal playing back comes first; then the queued frames.
        for (;;) {
            FrameInput input;
            if (!e.NextPlayedFrame(input)) {
                if (e.script.empty()) break;
                input = e.script.front();
                e.script.pop_front();
            }
            if (Headless_RunFrame(input)) break;
        }
        return true;
    }
    RunWindowLoop(e);
    return true;
}

void Engine::System_Shutdown() {
    EngineImpl& e = *impl;
    e.audio.Close();
    e.textures.Clear();
    e.video.Close();
    if (e.sdlStarted) SDL_Quit();
    e.sdlStarted = false;
    e.initiated = false;
    if (e.log) std::fclose(e.log);
    e.log = nullptr;
}

// --- Random numbers --------------------------------------------------------------

void Engine::Random_Seed(int seed) { impl->random.Seed(static_cast<std::uint32_t>(seed)); }
RandomState Engine::Random_GetState() const { return impl->random.GetState(); }
void Engine::Random_SetState(const RandomState& state) { impl->random.SetState(state); }
int Engine::Random_Int(int min, int max) { return impl->random.Int(min, max); }
float Engine::Random_Float(float min, float max) { return impl->random.Float(min, max); }

// --- Timer and input ---------------------------------------------------------------

float Engine::Timer_GetDelta() { return impl->current.frameTime; }

bool Engine::Input_GetKeyState(int key) { return impl->current.Holds(key); }

int Engine::Input_GetKey() { return impl->current.pressedKey; }

int Engine::Input_GetChar() {
    const int c = impl->current.typedChar;
    return c >= 32 && c <= 126 ? c : 0;
}

// --- Journal ---------------------------------------------------------------------

void Engine::Journal_Begin() { impl->journal.Begin(impl->random.GetState()); }

const InputJournal& Engine::Journal_Get() const { return impl->journal; }

bool Engine::Journal_Play(const InputJournal& journal) {
    EngineImpl& e = *impl;
    std::string error;
    if (!CheckJournal(journal, error)) {
        e.Log("Journal_Play: the journal is malformed (%s); nothing is played", error.c_str());
        return false;
    }
    // A copy first: the journal given may be this engine's own, begun afresh below.
    e.played = journal;
    e.playback.emplace(e.played);
    e.random.SetState(e.played.startRandom);
    Journal_Begin();
    return true;
}

// --- Files -------------------------------------------------------------------------

void* Engine::Resource_Load(const char* path, std::uint32_t* size) {
    if (size) *size = 0;
    if (!path) return nullptr;
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return nullptr;
    // Read in pieces until the end: the size is not trusted in advance (a
    // directory opens but cannot be read; a file may be growing).
    std::string bytes;
    char piece[64 * 1024];
    std::size_t got = 0;
    while ((got = std::fread(piece, 1, sizeof piece, file)) > 0) {
        if (bytes.size() + got > UINT32_MAX) break;
        bytes.append(piece, got);
    }
    const bool failed = std::ferror(file) != 0 || !std::feof(file);
    std::fclose(file);
    if (failed) return nullptr;
    // One spare byte so that callers that parse text may rely on a NUL.
    char* data = static_cast<char*>(std::malloc(bytes.size() + 1));
    if (!data) return nullptr;
    std::memcpy(data, bytes.data(), bytes.size());
    data[bytes.size()] = '\0';
    if (size) *size = static_cast<std::uint32_t>(bytes.size());
    return data;
}

void Engine::Resource_Free(void* data) { std::free(data); }

// --- Textures ---------------------------------------------------------------------

TextureHandle Engine::Texture_Load(const char* path, std::uint32_t, bool) {
    std::string error;
    const TextureHandle texture = impl->textures.Load(path ? path : "", error);
    if (!texture) impl->Log("Can't load texture: %s (%s)", path ? path : "(null)", error.c_str());
    return texture;
}

int Engine::Texture_GetWidth(TextureHandle texture, bool) { return impl->textures.Width(texture); }
int Engine::Texture_GetHeight(TextureHandle texture, bool) { return impl->textures.Height(texture); }

// --- Sound --------------------------------------------------------------------------

EffectHandle Engine::Effect_Load(const char* path, std::uint32_t) {
    std::string error;
    const EffectHandle effect = impl->audio.LoadEffect(path ? path : "", error);
    if (!effect) impl->Log("Can't load sound effect: %s (%s)", path ? path : "(null)", error.c_str());
    return effect;
}

ChannelHandle Engine::Effect_PlayEx(EffectHandle effect, int volume, int pan, float pitch, bool loop) {
    if (impl->headless) impl->record.sounds.push_back({effect, volume, pan, pitch, loop});
    if (!effect) return 0;
    return impl->audio.PlayEffect(effect, volume, pan, pitch, loop);
}

MusicHandle Engine::Music_Load(const char* path, std::uint32_t) {
    std::string error;
    const MusicHandle music = impl->audio.LoadMusic(path ? path : "", error);
    if (!music) impl->Log("Can't load music: %s (%s)", path ? path : "(null)", error.c_str());
    return music;
}

ChannelHandle Engine::Music_Play(MusicHandle music, bool loop, int volume, int order, int row) {
    const ChannelHandle channel = music ? impl->audio.PlayMusic(music, loop, volume, order, row) : 0;
    if (impl->headless) {
        ChannelEvent event;
        event.kind = ChannelEvent::MusicPlay;
        event.channel = channel;
        event.music = music;
        event.loop = loop;
        event.volume = volume;
        impl->record.channels.push_back(event);
    }
    return channel;
}

void Engine::Channel_SlideTo(ChannelHandle channel, float time, int volume, int pan, float pitch) {
    if (impl->headless) {
        ChannelEvent event;
        event.kind = ChannelEvent::SlideTo;
        event.channel = channel;
        event.volume = volume;
        event.time = time;
        event.pan = pan;
        event.pitch = pitch;
        impl->record.channels.push_back(event);
    }
    if (channel) impl->audio.SlideTo(channel, time, volume, pan, pitch);
}

bool Engine::Channel_IsSliding(ChannelHandle channel) { return channel && impl->audio.IsSliding(channel); }

// --- Drawing ------------------------------------------------------------------------

bool Engine::Gfx_BeginScene(TextureHandle) {
    impl->inScene = true;
    if (impl->headless) {
        impl->record.quads.clear();
        impl->record.cleared = false;
    } else if (impl->video.IsOpen()) {
        impl->video.BeginScene();
    }
    return true;
}

void Engine::Gfx_Clear(std::uint32_t colour) {
    if (impl->headless) {
        impl->record.cleared = true;
        impl->record.clearColour = colour;
    } else if (impl->video.IsOpen()) {
        impl->video.Clear(colour);
    }
}

void Engine::Gfx_EndScene() {
    if (!impl->headless && impl->video.IsOpen()) impl->video.EndScene();
    impl->inScene = false;
}

void Engine::Gfx_RenderQuad(const Quad* quad) {
    if (!quad || !impl->inScene) return;
    if (impl->headless)
        impl->record.quads.push_back(*quad);
    else if (impl->video.IsOpen())
        impl->video.Submit(*quad, impl->textures);
}

// --- Frames -------------------------------------------------------------------------

bool EngineImpl::RunFrame(FrameInput input) {
    input.frameTime = BoundFrameTime(input.frameTime);
    current = input;
    journal.Append(current);
    audio.Update(current.frameTime);
    if (frameFunc && frameFunc()) return true;
    if (renderFunc) renderFunc();
    return false;
}

bool EngineImpl::NextPlayedFrame(FrameInput& input) {
    if (!playback) return false;
    if (playback->Next(input) == JournalReader::Result::Frame) return true;
    playback.reset();
    return false;
}

void Engine::Headless_Enable(const HeadlessOptions& options) {
    impl->headless = true;
    impl->headlessOptions = options;
    impl->scriptFrameTime = BoundFrameTime(options.frameTime);
    impl->current.frameTime = impl->scriptFrameTime;
}

bool Engine::Headless_IsEnabled() const { return impl->headless; }

bool Engine::Headless_RunFrame(const FrameInput& input) {
    EngineImpl& e = *impl;
    e.record.quads.clear();
    e.record.sounds.clear();
    e.record.channels.clear();
    FrameInput frame = input;
    if (frame.frameTime == 0) frame.frameTime = e.scriptFrameTime;
    return e.RunFrame(frame);
}

bool Engine::Headless_RenderAudio(float* out, int frames) { return impl->audio.RenderLoopback(out, frames); }

void Engine::Headless_QueueFrame(const FrameInput& input) { impl->script.push_back(input); }

const FrameRecord& Engine::Headless_LastFrame() const { return impl->record; }

bool Engine::Headless_Screenshot(const char* pngPath) {
    std::string error;
    if (!Video::Screenshot(impl->screenWidth, impl->screenHeight, impl->record.clearColour,
                           impl->record.quads, impl->textures, pngPath, error)) {
        impl->Log("Screenshot failed: %s", error.c_str());
        return false;
    }
    return true;
}
