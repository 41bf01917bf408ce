// The mixer's bookkeeping: effects and music held in memory, channels with
// their glides, and a fixed pool of effect voices on the OpenAL device.
#include "engine/sdl/audio.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "engine/sdl/audio_decode.h"
#include "engine/sdl/audio_device.h"
#include "engine/sdl/audio_module.h"
#include "engine/sdl/music_stream.h"

namespace {

constexpr double Forever = std::numeric_limits<double>::infinity();
// A glide counts as over this close to its end: engine time adds up float
// frame times, and fifty frames of 0.01 s fall a hair short of 0.5 s.
constexpr double GlideTolerance = 1e-4;
// Frames mixed at a time by RenderLoopback: small enough that the music queue
// (4 × 2048 frames) cannot run dry in between, even at the highest pitch.
constexpr int LoopbackChunk = 256;

float HeldPitch(float pitch) {
    if (std::isnan(pitch)) return 1.0f;
    return std::clamp(pitch, Audio::MinPitch, Audio::MaxPitch);
}

float Lerp(float from, float to, double t) { return static_cast<float>(from + (to - from) * t); }

struct EffectData {
    PcmSound pcm;         // mono
    unsigned buffer = 0;  // OpenAL buffer while a device is open
};

struct MusicData {
    std::vector<std::uint8_t> bytes;  // the module file
    std::optional<double> seconds;    // one pass through the song, once a play has needed it
};

struct Glide {
    bool active = false;
    float fromVolume = 0, toVolume = 0, fromPan = 0, toPan = 0, fromPitch = 1, toPitch = 1;
    double duration = 0, elapsed = 0;  // seconds of engine time
};

struct Channel {
    ChannelHandle id = 0;
    float volume = 100;  // 0..100
    float pan = 0;       // -100..100
    float pitch = 1;
    Glide glide;
    // Seconds of sound left at pitch 1, counted down in engine time when no
    // device says when the sound ends.
    double remaining = Forever;
    int voice = -1;                       // effects: index into the voice pool
    std::shared_ptr<MusicStream> stream;  // music on a device
};

struct Voice {
    ChannelHandle channel = 0;  // owner, 0 when free
    unsigned source = 0;        // OpenAL source while a device is open
    std::uint64_t started = 0;  // order of starting, to find the oldest
};

}  // namespace

struct Audio::State {
    AudioDevice device;
    MusicStreamer streamer;
    std::vector<EffectData> effects;  // handle = index + 1
    std::vector<MusicData> musics;    // handle = index + 1
    std::vector<Channel> channels;
    std::array<Voice, VoiceCount> voices{};
    ChannelHandle nextChannel = 1;
    std::uint64_t started = 0;

    Channel* Find(ChannelHandle id) {
        for (Channel& channel : channels)
            if (channel.id == id) return &channel;
        return nullptr;
    }
    const Channel* Find(ChannelHandle id) const { return const_cast<State*>(this)->Find(id); }

    bool OwnsVoice(const Channel& channel) const {
        return channel.voice >= 0 && voices[static_cast<std::size_t>(channel.voice)].channel == channel.id;
    }

    unsigned SourceOf(const Channel& channel) const {
        if (channel.stream) return channel.stream->source;
        return OwnsVoice(channel) ? voices[static_cast<std::size_t>(channel.voice)].source : 0;
    }

    bool Alive(const Channel& channel) const {
        if (channel.stream) return !channel.stream->IsFinished();
        if (channel.voice >= 0) {
            if (!OwnsVoice(channel)) return false;  // a newer effect took the voice
            const unsigned source = voices[static_cast<std::size_t>(channel.voice)].source;
            if (source && device.IsOpen()) return openal::IsActive(source);
        }
        return channel.remaining > 0;
    }

    void Apply(const Channel& channel) const {
        if (const unsigned source = SourceOf(channel))
            openal::SetMix(source, channel.volume, channel.stream ? 0.0f : channel.pan, channel.pitch);
    }

    void Release(Channel& channel) {
        if (OwnsVoice(channel)) {
            Voice& voice = voices[static_cast<std::size_t>(channel.voice)];
            openal::Stop(voice.source);
            voice.channel = 0;
        }
        if (channel.stream) streamer.Remove(channel.stream);
        channel.stream.reset();
    }

    // A free voice, else one whose sound has ended, else the oldest one.
    int TakeVoice() {
        int oldest = 0;
        for (int i = 0; i < VoiceCount; ++i) {
            const Voice& voice = voices[static_cast<std::size_t>(i)];
            const Channel* owner = voice.channel ? Find(voice.channel) : nullptr;
            if (!owner || !Alive(*owner)) return i;
            if (voice.started < voices[static_cast<std::size_t>(oldest)].started) oldest = i;
        }
        openal::Stop(voices[static_cast<std::size_t>(oldest)].source);
        return oldest;
    }

    // Stops every channel and lets go of the device; effects and music stay
    // loaded (their buffers go with the device).
    void CloseDevice() {
        streamer.Stop();
        for (Channel& channel : channels) channel.stream.reset();
        channels.clear();
        for (Voice& voice : voices) {
            openal::DeleteSource(voice.source);
            voice = Voice{};
        }
        for (EffectData& effect : effects) openal::DeleteBuffer(effect.buffer);
        device.Close();
    }
};

Audio::Audio() : state(std::make_unique<State>()) {}
Audio::~Audio() { Close(); }

void Audio::Open(Mode mode, std::string& note) {
    State& s = *state;
    s.CloseDevice();
    note.clear();
    if (mode == Mode::Silent) return;
    const bool loopback = mode == Mode::Loopback;
    if (!s.device.Open(loopback, note)) return;
    for (Voice& voice : s.voices) voice.source = openal::CreateSource();
    for (EffectData& effect : s.effects) effect.buffer = openal::CreateBuffer(effect.pcm);
    // Loopback output is mixed only when asked, so the music is fed then too.
    s.streamer.Start(!loopback);
}

void Audio::Close() {
    state->CloseDevice();
    state->effects.clear();
    state->musics.clear();
}

bool Audio::IsAudible() const { return state->device.IsOpen(); }

EffectHandle Audio::LoadEffect(const char* path, std::string& error) {
    EffectData effect;
    if (!path || !DecodeSoundFile(path, effect.pcm, error)) return 0;
    DownmixToMono(effect.pcm);
    if (state->device.IsOpen()) effect.buffer = openal::CreateBuffer(effect.pcm);
    state->effects.push_back(std::move(effect));
    return static_cast<EffectHandle>(state->effects.size());
}

ChannelHandle Audio::PlayEffect(EffectHandle effect, int volume, int pan, float pitch, bool loop) {
    State& s = *state;
    if (effect == 0 || effect > s.effects.size()) return 0;
    EffectData& data = s.effects[effect - 1];
    Channel channel;
    channel.id = s.nextChannel++;
    channel.volume = static_cast<float>(std::clamp(volume, 0, 100));
    channel.pan = static_cast<float>(std::clamp(pan, -100, 100));
    channel.pitch = HeldPitch(pitch);
    channel.remaining = loop ? Forever : data.pcm.Seconds();
    channel.voice = s.TakeVoice();
    Voice& voice = s.voices[static_cast<std::size_t>(channel.voice)];
    voice.channel = channel.id;
    voice.started = ++s.started;
    if (s.device.IsOpen() && voice.source) {
        if (!data.buffer) data.buffer = openal::CreateBuffer(data.pcm);
        s.Apply(channel);
        openal::Play(voice.source, data.buffer, loop);
    }
    s.channels.push_back(std::move(channel));
    return s.channels.back().id;
}

MusicHandle Audio::LoadMusic(const char* path, std::string& error) {
    MusicData music;
    if (!path || !ReadModuleFile(path, music.bytes, error)) return 0;
    state->musics.push_back(std::move(music));
    return static_cast<MusicHandle>(state->musics.size());
}

ChannelHandle Audio::PlayMusic(MusicHandle music, bool loop, int volume, int order, int row) {
    State& s = *state;
    if (music == 0 || music > s.musics.size()) return 0;
    MusicData& data = s.musics[music - 1];
    if (!loop && !data.seconds) data.seconds = ModuleSeconds(data.bytes);
    if (!loop && !data.seconds) return 0;
    Channel channel;
    channel.id = s.nextChannel++;
    channel.volume = static_cast<float>(std::clamp(volume, 0, 100));
    channel.remaining = loop ? Forever : *data.seconds;
    if (s.device.IsOpen()) {
        auto stream = std::make_shared<MusicStream>();
        if (!stream->Start(data.bytes, loop, order, row, s.device.SampleRate())) return 0;
        channel.stream = stream;
        s.Apply(channel);
        s.streamer.Add(std::move(stream));
    }
    s.channels.push_back(std::move(channel));
    return s.channels.back().id;
}

void Audio::SlideTo(ChannelHandle id, float time, int volume, int pan, float pitch) {
    State& s = *state;
    Channel* channel = s.Find(id);
    if (!channel || !s.Alive(*channel)) return;
    Glide& glide = channel->glide;
    glide.fromVolume = channel->volume;
    glide.fromPan = channel->pan;
    glide.fromPitch = channel->pitch;
    glide.toVolume = static_cast<float>(std::clamp(volume, 0, 100));
    glide.toPan = pan == -101 ? channel->pan : static_cast<float>(std::clamp(pan, -100, 100));
    glide.toPitch = pitch < 0 ? channel->pitch : HeldPitch(pitch);
    glide.elapsed = 0;
    glide.duration = time;
    glide.active = time > 0;
    if (!glide.active) {
        channel->volume = glide.toVolume;
        channel->pan = glide.toPan;
        channel->pitch = glide.toPitch;
        s.Apply(*channel);
    }
}

bool Audio::IsSliding(ChannelHandle id) const {
    const Channel* channel = state->Find(id);
    return channel && channel->glide.active && state->Alive(*channel);
}

bool Audio::IsPlaying(ChannelHandle id) const {
    const Channel* channel = state->Find(id);
    return channel && state->Alive(*channel);
}

float Audio::Volume(ChannelHandle id) const {
    const Channel* channel = state->Find(id);
    return channel && state->Alive(*channel) ? channel->volume : -1.0f;
}

const PcmSound* Audio::Effect(EffectHandle effect) const {
    if (effect == 0 || effect > state->effects.size()) return nullptr;
    return &state->effects[effect - 1].pcm;
}

void Audio::Update(float dt) {
    State& s = *state;
    const double step = dt > 0 ? dt : 0.0;
    for (Channel& channel : s.channels) {
        Glide& glide = channel.glide;
        if (glide.active) {
            glide.elapsed += step;
            const double t =
                glide.elapsed >= glide.duration - GlideTolerance ? 1.0 : glide.elapsed / glide.duration;
            channel.volume = Lerp(glide.fromVolume, glide.toVolume, t);
            channel.pan = Lerp(glide.fromPan, glide.toPan, t);
            channel.pitch = Lerp(glide.fromPitch, glide.toPitch, t);
            glide.active = t < 1.0;
            s.Apply(channel);
        }
        if (!s.SourceOf(channel) || !s.device.IsOpen()) channel.remaining -= step * channel.pitch;
    }
    for (auto it = s.channels.begin(); it != s.channels.end();) {
        if (s.Alive(*it)) {
            ++it;
        } else {
            s.Release(*it);
            it = s.channels.erase(it);
        }
    }
}

bool Audio::RenderLoopback(float* out, int frames) {
    State& s = *state;
    if (!out || frames < 0 || !s.device.IsLoopback()) return false;
    for (int done = 0; done < frames;) {
        const int chunk = std::min(LoopbackChunk, frames - done);
        s.streamer.PumpAll();
        s.device.Render(out + static_cast<std::size_t>(done) * 2, chunk);
        done += chunk;
    }
    s.streamer.PumpAll();
    return true;
}
