#pragma once

#include <string>
#include <vector>

#include "engine/engine.h"

// Sound effects, tracker music and their channels. Channels are tracked in
// engine time whether or not a device plays them, so volume glides behave the
// same with and without a sound card.
struct Audio {
    enum class Mode {
        Device,    // the default output device; silent when there is none
        Loopback,  // OpenAL Soft's loopback device, rendered on demand (tests)
        Silent,    // no device at all
    };

    // Opens the output; when no device can be had the game runs silently and
    // note says why (the engine logs it once).
    void Open(Mode mode, std::string& note);
    void Close();

    EffectHandle LoadEffect(const char* path, std::string& error);
    ChannelHandle PlayEffect(EffectHandle effect, int volume, int pan, float pitch, bool loop);
    MusicHandle LoadMusic(const char* path, std::string& error);
    ChannelHandle PlayMusic(MusicHandle music, bool loop, int volume);
    void SlideTo(ChannelHandle channel, float time, int volume, int pan, float pitch);
    bool IsSliding(ChannelHandle channel) const;
    // Advances glides and feeds the music stream by dt seconds of engine time.
    void Update(float dt);

    struct Slide {
        ChannelHandle channel = 0;
        float from = 0, to = 0;  // volume 0..100
        float duration = 0, elapsed = 0;
    };
    std::vector<Slide> slides;
    ChannelHandle nextChannel = 1;
    EffectHandle effectCount = 0;
    MusicHandle musicCount = 0;
};
