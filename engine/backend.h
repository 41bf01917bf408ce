// The contract between the engine's core and a platform: a window with its
// frame loop, pictures, drawing and sound. The core keeps states, the log,
// random numbers, the input record and its journal, files and the frame
// driver; everything that touches a device is behind this interface.
//
// Two kinds exist: the platform's (engine/sdl/, SDL2 and OpenAL, made by the
// factory given to System_SetPlatform) and the null backend of headless runs
// (engine/null_backend.h), which records what it is asked and hands
// pictures and sound on to the platform's backend when there is one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/key_rebinding.h"
#include "engine/window_layout.h"

struct EngineImpl;

struct BackendConfig {
    std::string title;
    int width = 1024, height = 768;  // the scene, pixels
    bool windowed = false;           // false: the desktop's full screen
    WindowLayout window;             // windowed only: the kept size and mode
    KeyRebindings keys;              // the player's keys, checked when the keyboard opens
    // No window and no sound device: pictures are still loaded (and
    // screenshots drawn) and sound channels kept in engine time.
    bool headless = false;
    // Headless only: mix sound with OpenAL Soft's loopback device.
    bool loopbackAudio = false;
};

struct Backend {
    virtual ~Backend() = default;

    // Opens what config asks for. False with the reason in error; what is
    // worth knowing besides (the renderer in use, a missing sound device)
    // goes to engine.Log.
    virtual bool Open(const BackendConfig& config, EngineImpl& engine, std::string& error) = 0;
    // Lets go of the window, the device and everything loaded.
    virtual void Close() = 0;
    // Runs frames through engine.RunFrame until the frame callback ends the
    // run, the window is closed, or (headless) the input runs out.
    virtual void RunLoop(EngineImpl& engine) = 0;

    // --- Pictures: handles from 1, 0 with a reason on failure.
    virtual TextureHandle LoadTexture(const char* path, std::string& error) = 0;
    virtual int TextureWidth(TextureHandle texture) = 0;  // pixels; 0 for an unknown handle
    virtual int TextureHeight(TextureHandle texture) = 0;

    // --- Drawing, between BeginScene and EndScene (the core checks).
    virtual void BeginScene() = 0;
    virtual void Clear(std::uint32_t colour) = 0;  // 0xAARRGGBB
    virtual void Submit(const Quad& quad) = 0;
    virtual void EndScene() = 0;
    // The quads drawn as a window would draw them into a PNG file of the
    // given size. False with a reason when this backend cannot draw pictures.
    virtual bool Screenshot(int width, int height, std::uint32_t clearColour, const std::vector<Quad>& quads,
                            const char* path, std::string& error) = 0;

    // --- Sound, with the meanings of the engine operations of the same names.
    virtual EffectHandle LoadEffect(const char* path, std::string& error) = 0;
    virtual ChannelHandle PlayEffect(EffectHandle effect, int volume, int pan, float pitch, bool loop) = 0;
    virtual MusicHandle LoadMusic(const char* path, std::string& error) = 0;
    virtual ChannelHandle PlayMusic(MusicHandle music, bool loop, int volume, int order, int row) = 0;
    virtual void SlideTo(ChannelHandle channel, float time, int volume, int pan, float pitch) = 0;
    virtual bool IsSliding(ChannelHandle channel) = 0;
    // Engine time moves on by seconds (once per frame, and while paused).
    virtual void AdvanceSound(float seconds) = 0;
    // Mixes frames stereo frames of what plays into out; false when there is
    // no loopback device.
    virtual bool RenderAudio(float* out, int frames) = 0;

    // --- The window and the keyboard as the player set them up.
    // The window's layout now (its size when neither maximised nor full
    // screen); false when there is no window.
    virtual bool WindowNow(WindowLayout&) { return false; }
    // The label the keyboard layout prints on the physical key that gives
    // the game's key code; null when it cannot be told (no keyboard).
    virtual const char* KeyLabel(int) { return nullptr; }
};
