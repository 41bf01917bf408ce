// The engine layer: window, frame loop, keyboard, timer, random numbers,
// textured quads, sound effects, tracker music and the log.
//
// This is the only door from the game to the platform. Game code obtains the
// one engine with hgeCreate(EngineVersion) and calls the operations below; it
// never includes SDL or OpenAL. The operation names follow the engine the game
// was first designed against, so the game code reads the same on every layer.
//
// Everything runs on the thread that calls System_Start.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/key_rebinding.h"
#include "engine/random.h"
#include "engine/window_layout.h"

// Handles are small integers; 0 is the null handle, and every operation given a
// null handle does nothing (or answers 0).
using TextureHandle = std::uint32_t;
using EffectHandle = std::uint32_t;
using MusicHandle = std::uint32_t;
using ChannelHandle = std::uint32_t;

// The interface version the game asks for.
inline constexpr int EngineVersion = 0x180;

// The one blend mode the game uses: alpha blending, texture colour multiplied
// by the vertex colour.
inline constexpr int BlendDefault = 2;

// One corner of a quad. x, y in scene pixels (origin top-left, y down),
// z the depth (unused by the drawing order), colour 0xAARRGGBB, u and v the
// texture coordinates (0..1 across the whole texture).
struct Vertex {
    float x = 0, y = 0, z = 0.5f;
    std::uint32_t colour = 0xFFFFFFFF;
    float u = 0, v = 0;
};

// A textured quad: corners top-left, top-right, bottom-right, bottom-left of
// the unrotated rectangle. Texture 0 draws the vertex colours alone.
struct Quad {
    Vertex v[4];
    TextureHandle texture = 0;
    int blend = BlendDefault;
};

// States set with System_SetState before System_Initiate. The numbers are the
// ones the start-up sequence is written with.
enum BoolState { StateWindowed = 1 };
enum FuncState { StateFrameFunc = 8, StateRenderFunc = 9 };
enum IntState { StateScreenWidth = 17, StateScreenHeight = 18, StateFps = 23 };
enum StringState { StateTitle = 26, StateLogFile = 28 };

// Frame and render callbacks. The frame callback returns true to end the loop.
using FrameCallback = bool (*)();

// Windows virtual-key codes: the game's key numbers on every platform.
namespace Key {
inline constexpr int Backspace = 8, Enter = 13, Shift = 16, Escape = 27, Space = 32;
inline constexpr int Left = 37, Up = 38, Right = 39, Down = 40, Delete = 46;
inline constexpr int Digit0 = 48, A = 65, Z = 90, Numpad0 = 96, F1 = 112, F2 = 113;
}  // namespace Key

struct HeadlessOptions;
struct FrameInput;
struct InputJournal;
struct FrameRecord;
struct RunRecord;
struct EngineImpl;
struct Backend;

// Makes a platform's backend: the window and its loop, drawing and sound
// (SdlPlatform, engine/sdl/sdl_platform.h, for SDL2 and OpenAL).
using PlatformFactory = std::unique_ptr<Backend> (*)();

struct Engine {
    // --- System ---------------------------------------------------------
    void System_SetState(BoolState state, bool value);
    void System_SetState(FuncState state, FrameCallback value);
    void System_SetState(IntState state, int value);
    void System_SetState(StringState state, const char* value);
    // Before System_Initiate: where the window, pictures and sound come
    // from. Without a platform the engine runs headless only, and knows
    // pictures by their size alone (the core links no platform library).
    void System_SetPlatform(PlatformFactory platform);
    // Opens the window and the sound device through the platform, or,
    // headless, the null backend. False when the window cannot be made (or
    // there is no platform to make it); the reason is logged and kept for
    // System_GetErrorMessage.
    bool System_Initiate();
    // Before System_Initiate: the window's kept size and scaling
    // (engine/window_layout.h). The window fits the desktop's usable area
    // less its frame, may be resized and maximised, and shows the scene
    // (always StateScreenWidth x StateScreenHeight pixels to the game)
    // scaled and letterboxed.
    void System_SetWindowLayout(const WindowLayout& layout);
    // The window's layout now, to keep for the next run; what was set when
    // there is no window.
    WindowLayout System_GetWindowLayout();
    // Runs the frame loop until the frame callback returns true (headless: or
    // until the scripted frames run out).
    bool System_Start();
    void System_Shutdown();
    // printf-style; one line to the log file and to stderr.
    void System_Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    const char* System_GetErrorMessage() const;
    // Drops one reference taken by hgeCreate; the last one destroys the engine.
    void Release();

    // --- Random numbers (one generator, same sequence on every machine) ---
    void Random_Seed(int seed);
    // Uniform in [min, max], both bounds included.
    int Random_Int(int min, int max);
    float Random_Float(float min, float max);
    // The generator's whole state, to be set back later: the draws that
    // follow Random_SetState(s) are those that followed the Random_GetState
    // that gave s.
    RandomState Random_GetState() const;
    void Random_SetState(const RandomState& state);

    // --- Timer ----------------------------------------------------------
    // Seconds since the previous frame, within [MinFrameDelta,
    // MaxFrameDelta] (engine/frame_input.h).
    float Timer_GetDelta();

    // --- Input ----------------------------------------------------------
    // Each frame's input is one FrameInput (engine/frame_input.h), built by
    // the window loop from the keyboard, taken from the script headless, or
    // played back from a journal; these answer from it.
    // True while the key (virtual-key code) is held.
    bool Input_GetKeyState(int key);
    // The key pressed during this frame, else 0; the same for every call in a frame.
    int Input_GetKey();
    // The character typed during this frame when it is one byte 32..126, else 0.
    int Input_GetChar();
    // True while the key is held on the keyboard (headless: in the scripted
    // frame), even while a journal plays back in its place: how a watcher
    // stops a replay.
    bool Input_GetLiveKeyState(int key);
    // The whole record the reads above answer from, its frame time bounded:
    // what a frame callback hands the game.
    const FrameInput& Input_GetFrame() const;

    // Before System_Initiate: the physical keys that give the game's key
    // codes in place of the usual ones (engine/key_rebinding.h). Each one
    // refused (an unknown name, a clash) is logged and its usual key kept.
    void Input_SetBindings(const KeyRebindings& bindings);
    // The label the player's keyboard layout prints on the key that gives
    // key ("Z" for 'W' on a French keyboard, "Left Shift" for Shift); null
    // when the engine cannot tell (headless). Valid until the next call.
    const char* Input_GetKeyName(int key);

    // --- Input journal --------------------------------------------------
    // Every frame's input is kept in a journal (engine/input_journal.h),
    // from System_Initiate on, or from the last Journal_Begin.
    // Starts the journal afresh: the random generator's state now, then the
    // input of every frame that follows.
    void Journal_Begin();
    // The same, with the state of the generator the game draws from when it
    // is not the engine's (a game that owns its generator).
    void Journal_Begin(const RandomState& random);
    const InputJournal& Journal_Get() const;
    // Leaves the frame being run out of the journal: the game did not take
    // it (it stood still while the score server answered), so a run played
    // back must not hand it to the game either.
    void Journal_DropFrame();
    // Plays journal back: sets the random generator to the state the journal
    // began with, begins a fresh journal, and gives the frames that follow
    // the journal's input in place of the keyboard (or the queued headless
    // frames) until it runs out; then the live input takes over again. Set
    // the game up as it was when the journal began, and the run repeats
    // itself exactly. False, with a log line and nothing changed, for a
    // malformed journal.
    bool Journal_Play(const InputJournal& journal);
    // True while the frame being run (or, between frames, the last one run)
    // comes from a journal played back.
    bool Journal_IsPlaying() const;

    // --- Files ----------------------------------------------------------
    // The whole file, owned by the caller until Resource_Free; null when it
    // cannot be read. size (optional) receives its length in bytes.
    void* Resource_Load(const char* path, std::uint32_t* size = nullptr);
    void Resource_Free(void* data);

    // --- Textures -------------------------------------------------------
    // PNG (and whatever else SDL_image reads). 0 and a log line on failure.
    TextureHandle Texture_Load(const char* path);
    // The picture's size in pixels; 0 for the null handle or an unknown one.
    int Texture_GetWidth(TextureHandle texture);
    int Texture_GetHeight(TextureHandle texture);

    // --- Sound ----------------------------------------------------------
    // WAV or OGG Vorbis, decoded whole. 0 and a log line on failure.
    EffectHandle Effect_Load(const char* path);
    // volume 0..100, pan -100 (left) .. 100 (right), pitch a playback-rate factor.
    ChannelHandle Effect_PlayEx(EffectHandle effect, int volume = 100, int pan = 0, float pitch = 1.0f,
                                bool loop = false);
    // A tracker module (XM, MOD, IT, S3M). 0 and a log line on failure.
    MusicHandle Music_Load(const char* path);
    ChannelHandle Music_Play(MusicHandle music, bool loop, int volume = 100, int order = -1, int row = -1);
    // Glides the channel to volume (0..100) over time seconds; pan -101 and
    // pitch -1 keep those as they are.
    void Channel_SlideTo(ChannelHandle channel, float time, int volume, int pan = -101, float pitch = -1.0f);
    bool Channel_IsSliding(ChannelHandle channel);

    // --- Drawing (only between Gfx_BeginScene and Gfx_EndScene) ----------
    // Always onto the screen; true.
    bool Gfx_BeginScene();
    void Gfx_Clear(std::uint32_t colour);
    void Gfx_EndScene();
    // Queued into a batch; the batch is drawn on a texture or blend change and
    // at the end of the scene. The quad is copied, so the caller may reuse it.
    void Gfx_RenderQuad(const Quad* quad);

    // --- Headless mode (tests and tools) --------------------------------
    // Before System_Initiate: the null backend in place of the window and the
    // sound device (engine/null_backend.h); a fixed frame time; input
    // scripted per frame; every frame recorded. Pictures and sound go on to
    // the platform when one is set.
    void Headless_Enable(const HeadlessOptions& options);
    // Runs one frame: applies the input, calls the frame callback and then
    // the render callback. Returns the frame callback's answer.
    bool Headless_RunFrame(const FrameInput& input);
    // Frames for System_Start to run, in order; it returns when the frame
    // callback ends the run or the frames run out.
    void Headless_QueueFrame(const FrameInput& input);
    // What the last frame drew and played.
    const FrameRecord& Headless_LastFrame() const;
    // Every sound and music call since System_Initiate, each with its frame.
    const RunRecord& Headless_WholeRun() const;
    // Draws the last frame's quads with the real quad code into a PNG file
    // (needs a platform).
    bool Headless_Screenshot(const char* pngPath);
    // With HeadlessOptions::loopbackAudio: mixes frames stereo frames (left,
    // right interleaved, ±1, 44100 per second) of what is playing into out.
    // False when no loopback device is open.
    bool Headless_RenderAudio(float* out, int frames);

    EngineImpl* impl = nullptr;
};

// Returns the one engine, creating it on the first call; each call takes a
// reference that Release gives back. Null for an unknown version.
Engine* hgeCreate(int version);
