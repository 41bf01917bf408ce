// What one frame of the rules asks of the outside world, as plain data: the
// sound effects to play and a change of the music's volume. The rules only
// fill it in; the program (app/) turns it into engine calls, and tests and
// the replay verifier read it or let it be.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The game's sound effects, one per event that makes a sound.
enum class SoundEffect : std::uint8_t {
    Energy,        // a focusing ghost's energy pulse
    MunchetEaten,  // a ghost eats a munchet
    Food,          // a munchet eats a food item
    Dead,          // a munchet catches a ghost
    NextLevel,     // the last munchet of a level is gone
    Saved,         // a food item reaches the goal
};
inline constexpr std::size_t SoundEffectCount = 6;

// One effect to play once: volume 0..100, pan -100 (left) .. 100 (right),
// pitch a playback-rate factor.
struct SoundRequest {
    SoundEffect effect = SoundEffect::Energy;
    int volume = 100;
    int pan = 0;
    float pitch = 1.0f;

    bool operator==(const SoundRequest&) const = default;
};

struct FrameEffects {
    // Seconds the music takes to glide to a new volume.
    static constexpr float MusicGlideSeconds = 0.5f;

    // In the order the rules made them.
    std::vector<SoundRequest> sounds;
    // The volume (0, 20, ..., 100) the music glides to; none: it stays.
    std::optional<std::int32_t> musicVolume;

    // Empties the record for the next frame, keeping its storage: a steady
    // frame allocates nothing.
    void Clear();
    // An effect at full volume, panned to a play-field x position (panForX).
    void Play(SoundEffect effect, float x, float pitch = 1.0f);
};

// The pan, -100..100, for a play-field x: x / 512 * 100, clamped, truncated;
// 0 for NaN.
int panForX(float x);
