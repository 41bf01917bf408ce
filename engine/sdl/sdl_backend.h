// The platform's backend: SDL2's window, renderer and events, its image
// loader, and OpenAL Soft (with libsndfile and libopenmpt) for sound. The
// only code besides the rest of engine/sdl/ that includes their headers.
#pragma once

#include <array>

#include "engine/backend.h"
#include "engine/sdl/audio.h"
#include "engine/sdl/key_map.h"
#include "engine/sdl/textures.h"
#include "engine/sdl/video.h"

struct SdlBackend final : Backend {
    ~SdlBackend() override { Close(); }

    // Headless: no window and no SDL video; sound silent, or mixed by the
    // loopback device.
    bool Open(const BackendConfig& config, EngineImpl& engine, std::string& error) override;
    void Close() override;
    // The real-time loop (engine/sdl/window_loop.cpp).
    void RunLoop(EngineImpl& engine) override;

    TextureHandle LoadTexture(const char* path, std::string& error) override {
        return textures.Load(path, error);
    }
    int TextureWidth(TextureHandle texture) override { return textures.Width(texture); }
    int TextureHeight(TextureHandle texture) override { return textures.Height(texture); }

    void BeginScene() override;
    void Clear(std::uint32_t colour) override;
    void Submit(const Quad& quad) override;
    void EndScene() override;
    bool Screenshot(int width, int height, std::uint32_t clearColour, const std::vector<Quad>& quads,
                    const char* path, std::string& error) override;

    EffectHandle LoadEffect(const char* path, std::string& error) override {
        return audio.LoadEffect(path, error);
    }
    ChannelHandle PlayEffect(EffectHandle effect, int volume, int pan, float pitch, bool loop) override {
        return audio.PlayEffect(effect, volume, pan, pitch, loop);
    }
    MusicHandle LoadMusic(const char* path, std::string& error) override {
        return audio.LoadMusic(path, error);
    }
    ChannelHandle PlayMusic(MusicHandle music, bool loop, int volume, int order, int row) override {
        return music ? audio.PlayMusic(music, loop, volume, order, row) : 0;
    }
    void SlideTo(ChannelHandle channel, float time, int volume, int pan, float pitch) override {
        if (channel) audio.SlideTo(channel, time, volume, pan, pitch);
    }
    bool IsSliding(ChannelHandle channel) override { return audio.IsSliding(channel); }
    void AdvanceSound(float seconds) override { audio.Update(seconds); }
    bool RenderAudio(float* out, int frames) override { return audio.RenderLoopback(out, frames); }

    bool WindowNow(WindowLayout& layout) override { return video.Layout(layout); }
    const char* KeyLabel(int code) override;

    TextureTable textures;
    KeyMap keys;  // the player's bindings applied
    Video video;
    Audio audio;
    bool sdlStarted = false;  // SDL_Init ran for the window
    std::string padNote;      // why there are no gamepads, when there are none

private:
    // One label per key code, so that several may be asked for one text.
    std::array<std::array<char, 32>, 256> labels{};

    bool OpenWindow(const BackendConfig& config, std::string& error);
};

// What the sound libraries said since the last call, into the log file only
// (engine/sdl/sound_library_messages.h).
void LogSoundLibraryMessages(EngineImpl& engine);
