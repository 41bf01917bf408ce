// The game's sound files, made from code: six effects and the music.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace soundgen {

// The files WriteGameSounds makes, by name.
inline const std::vector<std::string> EffectFiles = {"energy.ogg", "muncheteaten.wav", "food.wav",
                                                     "dead.wav",   "nextlevel.wav",    "safed.wav"};
inline const std::string MusicFile = "stardust.xm";

// The music module's bytes.
std::vector<std::uint8_t> MusicBytes(std::string& error);
// Writes every effect and the music into dir (which must exist). False with
// the first problem in error.
bool WriteGameSounds(const std::filesystem::path& dir, std::string& error);

}  // namespace soundgen
