// The null backend of headless runs: no window and no device, only recorders.
// It keeps what the game asked for (FrameRecord), runs scripted or journalled
// frames instead of a real-time loop, and keeps sound channels in engine
// time so that queries such as Channel_IsSliding answer as they would with a
// sound card.
//
// Given the platform's backend (opened headless), it hands it the pictures
// and the sound: textures are then really decoded, screenshots drawn with the
// window's quad code, and the loopback device mixes what plays. Without one,
// it needs nothing but the C++ library: pictures are known by their size
// (read from PNG headers), sounds by their file, and screenshots cannot be
// taken.
#pragma once

#include <memory>
#include <vector>

#include "engine/backend.h"
#include "engine/headless.h"
#include "engine/picture_size.h"

struct NullBackend final : Backend {
    explicit NullBackend(std::unique_ptr<Backend> platform = nullptr);
    ~NullBackend() override;

    // Runs one frame through the engine, recording it.
    bool RunFrame(EngineImpl& engine, const FrameInput& input);
    const FrameRecord& LastFrame() const { return record; }
    const RunRecord& WholeRun() const { return run; }

    bool Open(const BackendConfig& config, EngineImpl& engine, std::string& error) override;
    void Close() override;
    // Plays the journal being played back, then the queued frames, until the
    // frame callback ends the run or there is no input left.
    void RunLoop(EngineImpl& engine) override;

    TextureHandle LoadTexture(const char* path, std::string& error) override;
    int TextureWidth(TextureHandle texture) override;
    int TextureHeight(TextureHandle texture) override;

    void BeginScene() override;
    void Clear(std::uint32_t colour) override;
    void Submit(const Quad& quad) override;
    void EndScene() override {}
    bool Screenshot(int width, int height, std::uint32_t clearColour, const std::vector<Quad>& quads,
                    const char* path, std::string& error) override;

    EffectHandle LoadEffect(const char* path, std::string& error) override;
    ChannelHandle PlayEffect(EffectHandle effect, int volume, int pan, float pitch, bool loop) override;
    MusicHandle LoadMusic(const char* path, std::string& error) override;
    ChannelHandle PlayMusic(MusicHandle music, bool loop, int volume, int order, int row) override;
    void SlideTo(ChannelHandle channel, float time, int volume, int pan, float pitch) override;
    bool IsSliding(ChannelHandle channel) override;
    void AdvanceSound(float seconds) override;
    bool RenderAudio(float* out, int frames) override;

    struct Sound;

private:
    std::unique_ptr<Backend> platform;  // pictures and sound, when there is one
    std::unique_ptr<Sound> sound;       // channels kept in engine time, without a platform
    std::vector<PictureSize> pictures;  // by handle - 1, without a platform
    FrameRecord record;
    RunRecord run;
    std::uint32_t framesStarted = 0;

    void Keep(const SoundEvent& event);
    void Keep(const ChannelEvent& event);
};
