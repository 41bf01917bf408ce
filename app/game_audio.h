// The game's sound effects and music in the engine: loaded once at start-up,
// and what each frame of the rules asks for (FrameEffects) played.
#pragma once

#include <array>
#include <cstdint>

#include "engine/engine.h"
#include "game/frame_effects.h"

struct GameAudio {
    // Engine handles by SoundEffect; a handle stays 0 when its file could
    // not be loaded, and playing a null handle is silent.
    std::array<EffectHandle, SoundEffectCount> effects{};
    MusicHandle music = 0;           // the looping tracker tune
    ChannelHandle musicChannel = 0;  // the music playing, once started

    // Starts the looping music at volume (0, 20, ..., 100).
    void StartMusic(Engine& engine, std::int32_t volume);
    // Plays a frame's sounds in order and glides the music to its new volume.
    void Play(Engine& engine, const FrameEffects& frame) const;
    // True while the music glides to a new volume: the volume bar shows.
    bool MusicGliding(Engine& engine) const { return engine.Channel_IsSliding(musicChannel); }
};
