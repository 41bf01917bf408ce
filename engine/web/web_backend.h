// The browser's backend: WebGL 1 on the page's canvas, the browser's keys and
// gamepads, Web Audio. The only code besides the rest of engine/web/ that
// includes emscripten's headers.
//
// The frame loop is the browser's (engine/web/web_loop.h): RunLoop hands it
// over and never returns.
//
// The page may watch the game through the module object: after each scene,
// for the first 2000, the scene's digest (engine/quad_digest.h, 8 hex
// digits) is pushed to Module.munchetDigests; Module.munchetFirstFrameAt is
// the performance.now() of the first scene drawn; Module.munchetFrameCost
// keeps the milliseconds each of the last 600 frames took (the frame and its
// drawing); Module.munchetEnded() is called once the loop ends. Each is left
// alone when the page did not create it.
#pragma once

#include <memory>
#include <string>

#include "engine/backend.h"
#include "engine/quad_digest.h"
#include "engine/web/gl_quad_batch.h"
#include "engine/web/web_audio.h"
#include "engine/web/web_gamepads.h"
#include "engine/web/web_keyboard.h"
#include "engine/web/web_textures.h"

struct WebLoop;

struct WebBackend final : Backend {
    WebBackend();
    ~WebBackend() override;

    // Headless: no context, no sound; pictures are only measured.
    bool Open(const BackendConfig& config, EngineImpl& engine, std::string& error) override;
    void Close() override;
    // Starts the browser's frame loop and does not return (emscripten's
    // simulated infinite loop): whatever follows the call never runs.
    void RunLoop(EngineImpl& engine) override;

    TextureHandle LoadTexture(const char* path, std::string& error) override {
        return textures.Load(path, context > 0, error);
    }
    int TextureWidth(TextureHandle texture) override { return textures.Width(texture); }
    int TextureHeight(TextureHandle texture) override { return textures.Height(texture); }

    void BeginScene() override;
    void Clear(std::uint32_t colour) override;
    void Submit(const Quad& quad) override;
    void EndScene() override;
    bool Screenshot(int, int, std::uint32_t, const std::vector<Quad>&, const char*,
                    std::string& error) override {
        error = "pictures are not written in the browser";
        return false;
    }

    EffectHandle LoadEffect(const char* path, std::string& error) override {
        return audio.LoadEffect(path, error);
    }
    ChannelHandle PlayEffect(EffectHandle effect, int volume, int pan, float pitch, bool loop) override {
        return audio.PlayEffect(effect, volume, pan, pitch, loop);
    }
    MusicHandle LoadMusic(const char* path, std::string& error) override {
        return audio.LoadMusic(path, error);
    }
    // order and row are not heeded: the tune plays from its rendering's start.
    ChannelHandle PlayMusic(MusicHandle music, bool loop, int volume, int, int) override {
        return audio.PlayMusic(music, loop, volume);
    }
    void SlideTo(ChannelHandle channel, float time, int volume, int pan, float pitch) override {
        audio.SlideTo(channel, time, volume, pan, pitch);
    }
    bool IsSliding(ChannelHandle channel) override { return audio.IsSliding(channel); }
    void AdvanceSound(float seconds) override { audio.Advance(seconds); }
    bool RenderAudio(float*, int) override { return false; }

    const char* KeyLabel(int code) override { return context > 0 ? keyboard.Label(code) : nullptr; }

    WebKeyboard keyboard;
    WebGamepads pads;

private:
    int sceneWidth = 0, sceneHeight = 0;
    long context = 0;  // the WebGL context; 0 for none
    WebTextures textures;
    GlQuadBatch batch;
    WebAudio audio;
    QuadDigester digest;
    long scenes = 0;  // drawn so far
    std::unique_ptr<WebLoop> loop;
};
