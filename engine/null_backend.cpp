#include "engine/null_backend.h"

#include <cstdio>

#include "engine/engine_impl.h"

namespace {

// A glide counts as over this close to its end: engine time adds up float
// frame times, and fifty frames of 0.01 s fall a hair short of 0.5 s. The
// platform's mixer uses the same tolerance.
constexpr double GlideTolerance = 1e-4;

// A sound or music file is taken when it can be read and is not empty: its
// contents are the platform's business.
bool ReadableFile(const char* path, std::string& error) {
    std::FILE* file = path ? std::fopen(path, "rb") : nullptr;
    char byte = 0;
    const bool readable = file && std::fread(&byte, 1, 1, file) == 1;
    if (file) std::fclose(file);
    if (!readable) error = "cannot read it";
    return readable;
}

}  // namespace

// Channels without a mixer. A sound's length is not known, so one that does
// not loop is over at the next frame; looping ones (the music) play on, and
// their volume glides run in engine time.
struct NullBackend::Sound {
    struct Channel {
        ChannelHandle id = 0;
        bool loop = false;
        bool gliding = false;
        double glideLeft = 0;  // seconds
    };
    std::vector<Channel> channels;
    std::uint32_t effects = 0, musics = 0;  // handles 1..count are loaded
    ChannelHandle nextChannel = 1;

    ChannelHandle Play(bool loop) {
        channels.push_back({nextChannel, loop});
        return nextChannel++;
    }
    Channel* Find(ChannelHandle id) {
        for (Channel& channel : channels)
            if (channel.id == id) return &channel;
        return nullptr;
    }
};

NullBackend::NullBackend(std::unique_ptr<Backend> platformBackend)
    : platform(std::move(platformBackend)), sound(std::make_unique<Sound>()) {}

NullBackend::~NullBackend() = default;

bool NullBackend::Open(const BackendConfig& config, EngineImpl& engine, std::string& error) {
    if (!platform) return true;
    BackendConfig headless = config;
    headless.headless = true;
    return platform->Open(headless, engine, error);
}

void NullBackend::Close() {
    if (platform) platform->Close();
    pictures.clear();
    *sound = Sound{};
    run = RunRecord{};
    framesStarted = 0;
}

bool NullBackend::RunFrame(EngineImpl& engine, const FrameInput& input) {
    record.quads.clear();
    record.sounds.clear();
    record.channels.clear();
    framesStarted += 1;
    return engine.RunFrame(input);
}

void NullBackend::Keep(const SoundEvent& event) {
    record.sounds.push_back(event);
    run.sounds.push_back(event);
    run.sounds.back().frame = framesStarted;
}

void NullBackend::Keep(const ChannelEvent& event) {
    record.channels.push_back(event);
    run.channels.push_back(event);
    run.channels.back().frame = framesStarted;
}

void NullBackend::RunLoop(EngineImpl& engine) {
    for (;;) {
        FrameInput input;
        if (!engine.NextPlayedFrame(input)) {
            if (engine.script.empty()) return;
            input = engine.script.front();
            engine.script.pop_front();
            if (input.frameTime == 0) input.frameTime = engine.scriptFrameTime;
        }
        if (RunFrame(engine, input)) return;
    }
}

// --- Pictures ------------------------------------------------------------------

TextureHandle NullBackend::LoadTexture(const char* path, std::string& error) {
    if (platform) return platform->LoadTexture(path, error);
    PictureSize size;
    if (!ReadPngFileSize(path, size, error)) return 0;
    pictures.push_back(size);
    return static_cast<TextureHandle>(pictures.size());
}

int NullBackend::TextureWidth(TextureHandle texture) {
    if (platform) return platform->TextureWidth(texture);
    return texture >= 1 && texture <= pictures.size() ? pictures[texture - 1].width : 0;
}

int NullBackend::TextureHeight(TextureHandle texture) {
    if (platform) return platform->TextureHeight(texture);
    return texture >= 1 && texture <= pictures.size() ? pictures[texture - 1].height : 0;
}

// --- Drawing -------------------------------------------------------------------

void NullBackend::BeginScene() {
    record.quads.clear();
    record.cleared = false;
}

void NullBackend::Clear(std::uint32_t colour) {
    record.cleared = true;
    record.clearColour = colour;
}

void NullBackend::Submit(const Quad& quad) { record.quads.push_back(quad); }

bool NullBackend::Screenshot(int width, int height, std::uint32_t clearColour, const std::vector<Quad>& quads,
                             const char* path, std::string& error) {
    if (platform) return platform->Screenshot(width, height, clearColour, quads, path, error);
    error = "no platform to draw pictures with (System_SetPlatform)";
    return false;
}

// --- Sound -----------------------------------------------------------------------

EffectHandle NullBackend::LoadEffect(const char* path, std::string& error) {
    if (platform) return platform->LoadEffect(path, error);
    return ReadableFile(path, error) ? ++sound->effects : 0;
}

ChannelHandle NullBackend::PlayEffect(EffectHandle effect, int volume, int pan, float pitch, bool loop) {
    Keep(SoundEvent{effect, volume, pan, pitch, loop});
    if (platform) return platform->PlayEffect(effect, volume, pan, pitch, loop);
    return effect >= 1 && effect <= sound->effects ? sound->Play(loop) : 0;
}

MusicHandle NullBackend::LoadMusic(const char* path, std::string& error) {
    if (platform) return platform->LoadMusic(path, error);
    return ReadableFile(path, error) ? ++sound->musics : 0;
}

ChannelHandle NullBackend::PlayMusic(MusicHandle music, bool loop, int volume, int order, int row) {
    ChannelHandle channel = 0;
    if (platform)
        channel = platform->PlayMusic(music, loop, volume, order, row);
    else if (music >= 1 && music <= sound->musics)
        channel = sound->Play(loop);
    Keep(ChannelEvent{.kind = ChannelEvent::MusicPlay,
                      .channel = channel,
                      .music = music,
                      .loop = loop,
                      .volume = volume,
                      .order = order,
                      .row = row});
    return channel;
}

void NullBackend::SlideTo(ChannelHandle channel, float time, int volume, int pan, float pitch) {
    Keep(ChannelEvent{.kind = ChannelEvent::SlideTo,
                      .channel = channel,
                      .volume = volume,
                      .time = time,
                      .pan = pan,
                      .pitch = pitch});
    if (platform) return platform->SlideTo(channel, time, volume, pan, pitch);
    if (Sound::Channel* playing = sound->Find(channel)) {
        playing->glideLeft = time;
        playing->gliding = time > 0;
    }
}

bool NullBackend::IsSliding(ChannelHandle channel) {
    if (platform) return platform->IsSliding(channel);
    const Sound::Channel* playing = sound->Find(channel);
    return playing && playing->gliding;
}

void NullBackend::AdvanceSound(float seconds) {
    if (platform) return platform->AdvanceSound(seconds);
    std::erase_if(sound->channels, [](const Sound::Channel& channel) { return !channel.loop; });
    for (Sound::Channel& channel : sound->channels) {
        channel.glideLeft -= seconds > 0 ? seconds : 0.0f;
        if (channel.glideLeft <= GlideTolerance) channel.gliding = false;
    }
}

bool NullBackend::RenderAudio(float* out, int frames) {
    return platform && platform->RenderAudio(out, frames);
}
