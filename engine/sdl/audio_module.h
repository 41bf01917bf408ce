// Tracker modules (XM, MOD, IT, S3M) through libopenmpt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Largest module file accepted, bytes.
inline constexpr std::size_t MaxModuleBytes = 64u << 20;

// Reads a module file whole and checks by its header that it is a module
// libopenmpt knows. False, with a reason in error, when the file is missing,
// too large or not a module. The song itself is read only when it is played:
// libopenmpt's first module costs some 10 ms of tables, which a game that
// starts without a sound device never needs.
bool ReadModuleFile(const char* path, std::vector<std::uint8_t>& bytes, std::string& error);

// The length of one pass through the song in seconds; nothing when
// libopenmpt cannot read the song after all.
std::optional<double> ModuleSeconds(const std::vector<std::uint8_t>& bytes);

// One playing instance of a module; each music channel has its own, since a
// module carries its play position.
struct ModulePlayer {
    // Starts at the beginning, or at order/row when order >= 0. loop repeats the
    // song for ever (from its restart position). False with a reason in error.
    bool Open(const std::vector<std::uint8_t>& bytes, bool loop, int order, int row, std::string& error);
    // Renders up to frames stereo frames of interleaved 16-bit samples at
    // sampleRate into out; fewer (0 at the end) once a non-looping song ends.
    std::size_t Render(std::int16_t* out, std::size_t frames, int sampleRate);
    bool IsOpen() const { return module != nullptr; }

    struct Closer {
        void operator()(void* module) const;
    };
    std::unique_ptr<void, Closer> module;  // an openmpt_module
};
