#include "app/game_audio.h"

void GameAudio::StartMusic(Engine& engine, std::int32_t volume) {
    musicChannel = engine.Music_Play(music, true, volume, -1, -1);
}

void GameAudio::Play(Engine& engine, const FrameEffects& frame) const {
    for (const SoundRequest& sound : frame.sounds)
        engine.Effect_PlayEx(effects[static_cast<std::size_t>(sound.effect)], sound.volume, sound.pan,
                             sound.pitch, false);
    // Pan and pitch stay as they are.
    if (frame.musicVolume)
        engine.Channel_SlideTo(musicChannel, FrameEffects::MusicGlideSeconds, *frame.musicVolume, -101,
                               -1.0f);
}
