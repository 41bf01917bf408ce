// The sound libraries' own messages. On a machine without a sound card
// alsa-lib writes eight lines about the card it cannot find and OpenAL Soft
// one more, all on stderr, before the game's own "No sound device found".
// A player at a terminal needs only the game's line: alsa-lib's lines go to
// the log file instead, and OpenAL Soft's are silenced (its own variable
// ALSOFT_LOGLEVEL, when set, still has its say).
#pragma once

#include <string>
#include <vector>

// Takes the messages away from stderr. Call before the first OpenAL call,
// while no other thread may read the environment (it sets
// ALSOFT_LOGLEVEL=0 unless the variable is set). Later calls do nothing.
void RouteSoundLibraryMessages();

struct SoundLibraryMessages {
    std::vector<std::string> lines;  // oldest first, one message each
    int dropped = 0;                 // messages past MaxKept, not kept
    static constexpr std::size_t MaxKept = 64;
};

// The alsa-lib messages since the last call, from any thread.
SoundLibraryMessages TakeSoundLibraryMessages();
