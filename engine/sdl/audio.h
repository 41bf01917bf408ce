#pragma once

#include <memory>
#include <string>

#include "engine/engine.h"

struct PcmSound;

// Sound effects, tracker music and their channels, on OpenAL Soft.
//
// Channels are tracked in engine time whether or not a device plays them, so
// volume glides behave the same with a sound card, without one and headless.
// Every operation given a null or unknown handle does nothing (or answers 0 /
// false).
struct Audio {
    enum class Mode {
        Device,    // the default output device; silent when there is none
        Loopback,  // OpenAL Soft's loopback device, mixed on demand (tests)
        Silent,    // no device at all; channels are only tracked
    };

    // Effects that can sound at once; a further one takes the oldest's place.
    static constexpr int VoiceCount = 32;
    // Pitch (playback-rate factor) is held within this range: OpenAL refuses
    // factors of 0 and below, and beyond 16 nothing useful is left to hear.
    static constexpr float MinPitch = 1.0f / 64.0f, MaxPitch = 16.0f;

    Audio();
    ~Audio();
    Audio(const Audio&) = delete;
    Audio& operator=(const Audio&) = delete;

    // Opens the output. When no device can be had the game runs silently and
    // note says why (the engine logs it once); note stays empty otherwise.
    void Open(Mode mode, std::string& note);
    // Stops every channel and frees every effect, music and the device.
    void Close();
    // True while a device (or the loopback device) mixes what is played.
    bool IsAudible() const;

    // WAV, OGG Vorbis or any other file libsndfile reads, decoded whole to
    // 16-bit PCM and folded to mono (so that it can be panned). Works without
    // a device too. 0 with a reason in error when the file cannot be used.
    EffectHandle LoadEffect(const char* path, std::string& error);
    // volume 0..100, pan -100 (left) .. 100 (right), pitch a playback-rate
    // factor (held within MinPitch..MaxPitch). Returns the new channel.
    ChannelHandle PlayEffect(EffectHandle effect, int volume, int pan, float pitch, bool loop);
    // A tracker module, checked with libopenmpt and kept in memory.
    MusicHandle LoadMusic(const char* path, std::string& error);
    // Plays the music from the start (or from order/row when order >= 0),
    // repeating for ever when loop is set. Each call makes a new channel.
    ChannelHandle PlayMusic(MusicHandle music, bool loop, int volume, int order = -1, int row = -1);
    // Glides the channel from where it is to volume (0..100) over time seconds
    // of engine time; pan -101 keeps the pan, a negative pitch keeps the
    // pitch, other values glide too. time <= 0 sets them at once.
    void SlideTo(ChannelHandle channel, float time, int volume, int pan, float pitch);
    // True from SlideTo until its time has passed (while the channel plays).
    bool IsSliding(ChannelHandle channel) const;
    // True while the channel sounds: an effect until its end (or until a newer
    // effect takes its voice), a music until a non-looping song ends.
    bool IsPlaying(ChannelHandle channel) const;
    // The channel's volume 0..100 as glided so far; -1 when it is not playing.
    float Volume(ChannelHandle channel) const;
    // The decoded effect (mono), null for an unknown handle.
    const PcmSound* Effect(EffectHandle effect) const;

    // Advances glides and the silent channels' play time by dt seconds of
    // engine time and lets go of finished channels; called once per frame.
    void Update(float dt);

    // Loopback mode only: mixes frames stereo frames (left, right interleaved,
    // ±1) of everything playing into out, feeding the music as it goes.
    // False (out untouched) in the other modes.
    bool RenderLoopback(float* out, int frames);

    struct State;

private:
    std::unique_ptr<State> state;
};
