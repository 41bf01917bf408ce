// The engine's core: states, start and shutdown, the log, random numbers,
// the timer, input as the game sees it, the journal, files and the frame
// driver. Everything that touches a device goes through the backend.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/engine_impl.h"
#include "engine/null_backend.h"

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

EngineImpl::EngineImpl() : backend(std::make_unique<NullBackend>()) {}
EngineImpl::~EngineImpl() = default;

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

void EngineImpl::LogDetail(const char* format, ...) {
    if (!log) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(log, format, args);
    va_end(args);
    std::fputc('\n', log);
    std::fflush(log);
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

void Engine::System_SetPlatform(PlatformFactory platform) { impl->platform = platform; }

bool Engine::System_Initiate() {
    EngineImpl& e = *impl;
    if (e.initiated) return true;
    BackendConfig config;
    config.title = e.title;
    config.width = e.screenWidth;
    config.height = e.screenHeight;
    config.windowed = e.windowed;
    config.window = e.windowLayout;
    config.keys = e.keyBindings;
    config.headless = e.headless;
    config.loopbackAudio = e.headlessOptions.loopbackAudio;
    std::unique_ptr<Backend> backend;
    if (e.headless && e.headlessOptions.failInitiate) {
        e.error = "cannot open a window (simulated)";
    } else if (e.headless) {
        auto recorder = std::make_unique<NullBackend>(e.platform ? e.platform() : nullptr);
        e.recorder = recorder.get();
        backend = std::move(recorder);
    } else if (e.platform) {
        backend = e.platform();
    } else {
        e.error = "no platform to open a window with (System_SetPlatform)";
    }
    if (backend && !backend->Open(config, e, e.error)) backend.reset();
    if (!backend) {
        e.recorder = nullptr;
        e.Log("System_Initiate: %s", e.error.c_str());
        return false;
    }
    e.backend = std::move(backend);
    e.initiated = true;
    Journal_Begin();
    return true;
}

void Engine::System_SetWindowLayout(const WindowLayout& layout) { impl->windowLayout = layout; }

WindowLayout Engine::System_GetWindowLayout() {
    WindowLayout now;
    return impl->backend->WindowNow(now) ? now : impl->windowLayout;
}

bool Engine::System_Start() {
    EngineImpl& e = *impl;
    if (!e.initiated || !e.frameFunc) return false;
    e.backend->RunLoop(e);
    return true;
}

void Engine::System_Shutdown() {
    EngineImpl& e = *impl;
    e.backend->Close();
    e.backend = std::make_unique<NullBackend>();
    e.recorder = nullptr;
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

int Engine::Input_GetChar() { return impl->current.TypedCharacter(); }

const FrameInput& Engine::Input_GetFrame() const { return impl->current; }

bool Engine::Input_GetLiveKeyState(int key) { return impl->live.Holds(key); }

void Engine::Input_SetBindings(const KeyRebindings& bindings) { impl->keyBindings = bindings; }

const char* Engine::Input_GetKeyName(int key) { return impl->backend->KeyLabel(key); }

// --- Journal ---------------------------------------------------------------------

void Engine::Journal_Begin() { impl->journal.Begin(impl->random.GetState()); }
void Engine::Journal_Begin(const RandomState& random) { impl->journal.Begin(random); }

const InputJournal& Engine::Journal_Get() const { return impl->journal; }
void Engine::Journal_DropFrame() { impl->journal.DropLast(); }

bool Engine::Journal_IsPlaying() const { return impl->playedFrame; }

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

TextureHandle Engine::Texture_Load(const char* path) {
    std::string error;
    const TextureHandle texture = impl->backend->LoadTexture(path ? path : "", error);
    if (!texture) impl->Log("Can't load texture: %s (%s)", path ? path : "(null)", error.c_str());
    return texture;
}

int Engine::Texture_GetWidth(TextureHandle texture) { return impl->backend->TextureWidth(texture); }
int Engine::Texture_GetHeight(TextureHandle texture) { return impl->backend->TextureHeight(texture); }

// --- Sound --------------------------------------------------------------------------

EffectHandle Engine::Effect_Load(const char* path) {
    std::string error;
    const EffectHandle effect = impl->backend->LoadEffect(path ? path : "", error);
    if (!effect) impl->Log("Can't load sound effect: %s (%s)", path ? path : "(null)", error.c_str());
    return effect;
}

ChannelHandle Engine::Effect_PlayEx(EffectHandle effect, int volume, int pan, float pitch, bool loop) {
    return impl->backend->PlayEffect(effect, volume, pan, pitch, loop);
}

MusicHandle Engine::Music_Load(const char* path) {
    std::string error;
    const MusicHandle music = impl->backend->LoadMusic(path ? path : "", error);
    if (!music) impl->Log("Can't load music: %s (%s)", path ? path : "(null)", error.c_str());
    return music;
}

ChannelHandle Engine::Music_Play(MusicHandle music, bool loop, int volume, int order, int row) {
    return impl->backend->PlayMusic(music, loop, volume, order, row);
}

void Engine::Channel_SlideTo(ChannelHandle channel, float time, int volume, int pan, float pitch) {
    impl->backend->SlideTo(channel, time, volume, pan, pitch);
}

bool Engine::Channel_IsSliding(ChannelHandle channel) { return channel && impl->backend->IsSliding(channel); }

// --- Drawing ------------------------------------------------------------------------

bool Engine::Gfx_BeginScene() {
    impl->inScene = true;
    impl->backend->BeginScene();
    return true;
}

void Engine::Gfx_Clear(std::uint32_t colour) { impl->backend->Clear(colour); }

void Engine::Gfx_EndScene() {
    impl->backend->EndScene();
    impl->inScene = false;
}

void Engine::Gfx_RenderQuad(const Quad* quad) {
    if (quad && impl->inScene) impl->backend->Submit(*quad);
}

// --- Frames -------------------------------------------------------------------------

bool EngineImpl::RunFrame(FrameInput input) {
    input.frameTime = BoundFrameTime(input.frameTime);
    current = input;
    if (!playedFrame) live = current;
    journal.Append(current);
    backend->AdvanceSound(current.frameTime);
    if (frameFunc && frameFunc()) return true;
    if (renderFunc) renderFunc();
    return false;
}

bool EngineImpl::NextPlayedFrame(FrameInput& input) {
    playedFrame = false;
    if (!playback) return false;
    const FrameInput given = input;
    if (playback->Next(input) == JournalReader::Result::Frame) {
        live = given;
        playedFrame = true;
        return true;
    }
    playback.reset();
    return false;
}

void Engine::Headless_Enable(const HeadlessOptions& options) {
    impl->headless = true;
    impl->headlessOptions = options;
    impl->scriptFrameTime = BoundFrameTime(options.frameTime);
    impl->current.frameTime = impl->scriptFrameTime;
}

bool Engine::Headless_RunFrame(const FrameInput& input) {
    EngineImpl& e = *impl;
    FrameInput frame = input;
    if (frame.frameTime == 0) frame.frameTime = e.scriptFrameTime;
    e.playedFrame = false;
    return e.recorder ? e.recorder->RunFrame(e, frame) : e.RunFrame(frame);
}

bool Engine::Headless_RenderAudio(float* out, int frames) { return impl->backend->RenderAudio(out, frames); }

void Engine::Headless_QueueFrame(const FrameInput& input) { impl->script.push_back(input); }

const FrameRecord& Engine::Headless_LastFrame() const {
    static const FrameRecord nothing;
    return impl->recorder ? impl->recorder->LastFrame() : nothing;
}

const RunRecord& Engine::Headless_WholeRun() const {
    static const RunRecord nothing;
    return impl->recorder ? impl->recorder->WholeRun() : nothing;
}

bool Engine::Headless_Screenshot(const char* pngPath) {
    std::string error;
    const FrameRecord& last = Headless_LastFrame();
    if (!impl->backend->Screenshot(impl->screenWidth, impl->screenHeight, last.clearColour, last.quads,
                                   pngPath, error)) {
        impl->Log("Screenshot failed: %s", error.c_str());
        return false;
    }
    return true;
}
