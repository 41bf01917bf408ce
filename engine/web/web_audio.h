// Sound in the browser: Web Audio on the page's main thread, one
// AudioContext for the whole run.
//
// Browsers keep a page's sound suspended until the player first presses a
// key or touches the page (their autoplay rule); the context is resumed on
// the first such event, and until then every call is harmless: effects are
// skipped, the music waits and starts with the sound.
//
// Decoding is the browser's and takes its time: an effect played before its
// sound is decoded is skipped (channel 0); music played before it is decoded
// starts once it is. The tracker tune is played from its rendering beside
// the module (the module's path + ".ogg"), so a tune's order and row cannot
// be chosen: it always starts from its beginning.
//
// Channels are handles from 1; a channel whose sound ended is forgotten.
// Volume glides run in the browser's time, and IsSliding answers in engine
// time (AdvanceSound), as the other backends do.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine.h"

struct WebAudio {
    WebAudio() = default;
    WebAudio(const WebAudio&) = delete;
    WebAudio& operator=(const WebAudio&) = delete;
    ~WebAudio() { Close(); }

    // Makes the AudioContext; false with a note when the browser has none
    // (the game then runs silent).
    bool Open(std::string& note);
    void Close();

    EffectHandle LoadEffect(const char* path, std::string& error);
    ChannelHandle PlayEffect(EffectHandle effect, int volume, int pan, float pitch, bool loop);
    MusicHandle LoadMusic(const char* path, std::string& error);
    ChannelHandle PlayMusic(MusicHandle music, bool loop, int volume);
    void SlideTo(ChannelHandle channel, float time, int volume, int pan, float pitch);
    bool IsSliding(ChannelHandle channel) const;
    void Advance(float seconds);

private:
    struct Channel {
        ChannelHandle id = 0;
        double glideLeft = 0;  // seconds of engine time
    };
    // Reads the file and hands it to the browser to decode into a new sound;
    // the sound's number, 0 with a reason on failure.
    int Decode(const std::string& path, std::string& error);
    ChannelHandle Play(int sound, int volume, int pan, float pitch, bool loop, bool waitForSound);

    bool open = false;
    std::vector<int> effects;  // sound numbers by handle - 1
    std::vector<int> musics;
    int nextSound = 1;
    std::vector<Channel> channels;
    ChannelHandle nextChannel = 1;
};
