// Headless mode: the engine with its window and sound device replaced by
// recorders (the null backend, engine/null_backend.h). Tests and tools drive
// the real game through it, one scripted frame at a time, and read back what
// each frame drew and played.
#pragma once

#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/frame_input.h"

struct HeadlessOptions {
    // Seconds a scripted frame lasts unless its FrameInput says otherwise;
    // bounded like every frame time (BoundFrameTime).
    float frameTime = 0.01f;
    // With a platform (System_SetPlatform): open OpenAL Soft's loopback
    // device so sound is really mixed (for sound tests); otherwise sound
    // calls are only recorded.
    bool loopbackAudio = false;
    // Make System_Initiate fail, as a machine without a display would.
    bool failInitiate = false;
};

// One Effect_PlayEx call.
struct SoundEvent {
    EffectHandle effect = 0;
    int volume = 0;
    int pan = 0;
    float pitch = 0;
    bool loop = false;
    // Frames started before the call: 0 before the first frame, 1 in it.
    std::uint32_t frame = 0;
};

// One music or channel call, in the order made.
struct ChannelEvent {
    enum Kind { MusicPlay, SlideTo } kind = MusicPlay;
    ChannelHandle channel = 0;
    MusicHandle music = 0;  // MusicPlay
    bool loop = false;      // MusicPlay
    int volume = 0;
    int order = -1, row = -1;  // MusicPlay
    float time = 0;            // SlideTo
    int pan = 0;               // SlideTo
    float pitch = 0;           // SlideTo
    // Frames started before the call: 0 before the first frame, 1 in it.
    std::uint32_t frame = 0;
};

// Every sound and music call of the run, in the order made, from
// System_Initiate on: the music started before the first frame included.
struct RunRecord {
    std::vector<SoundEvent> sounds;
    std::vector<ChannelEvent> channels;
};

// What one frame did, from its frame callback to the end of its scene (and
// whatever is asked after it, until the next frame starts).
struct FrameRecord {
    std::vector<Quad> quads;
    std::vector<SoundEvent> sounds;
    std::vector<ChannelEvent> channels;
    std::uint32_t clearColour = 0;
    bool cleared = false;
};
