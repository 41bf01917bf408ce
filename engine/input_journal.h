// A run's input, frame by frame, with the random generator's state at the
// moment it began: together with the game's state at that moment, enough to
// play the run again bit for bit. Cheap enough to be kept for every run: a
// frame takes a few bytes, and appending allocates only when the buffer
// doubles.
//
// Frame encoding. Each frame is stored relative to the frame before it (the
// first relative to a frame with no key held and frame time 0), as one flags
// byte and the fields its bits announce, in this order:
//   bit 0  held keys changed: one byte n, then n + 1 distinct key codes in
//          rising order, each key whose held state flips;
//   bit 1  a key was pressed: one byte, its code (1..255);
//   bit 2  a character was typed: one byte (1..255);
//   bit 3  the frame time changed: four bytes, the IEEE-754 single-precision
//          number, least significant byte first; it lies within
//          [MinFrameDelta, MaxFrameDelta];
//   bits 4..7 are 0.
// A steady frame is one byte; a frame of the window loop, whose measured
// time changes every frame, is five.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/frame_input.h"
#include "engine/random.h"

struct InputJournal {
    // The random generator as it was when the journal began.
    RandomState startRandom;
    // Frames, encoded as above, oldest first.
    std::vector<std::uint8_t> bytes;
    // How many frames bytes holds.
    std::uint32_t frames = 0;
    // The last frame appended, what the next one is stored against.
    FrameInput last;

    // Forgets every frame and starts again from random.
    void Begin(const RandomState& random);
    // Adds one frame; its frameTime must already be bounded (BoundFrameTime).
    void Append(const FrameInput& input);
    // Takes the frame last appended out again, as if it never came; does
    // nothing when there is none to take (twice in a row, or after Begin).
    void DropLast();

    // Where the last frame's bytes begin, and the frame stored before it:
    // what DropLast puts back.
    std::size_t lastStart = 0;
    FrameInput beforeLast;
    bool lastDroppable = false;
};

// Reads a journal's frames back in order. The bytes are checked as they are
// read, so a journal from outside (a file, another machine) is safe to read:
// a malformed frame ends the reading with a reason instead of a guess.
struct JournalReader {
    explicit JournalReader(const InputJournal& journal) : bytes(&journal.bytes) {}

    enum class Result { Frame, End, Malformed };
    // The next frame into out; End after the last one; Malformed (with the
    // reason in error) when the bytes break the encoding.
    Result Next(FrameInput& out);
    std::uint32_t FramesRead() const { return framesRead; }
    std::string error;

private:
    const std::vector<std::uint8_t>* bytes;
    std::size_t at = 0;
    std::uint32_t framesRead = 0;
    FrameInput previous;
};

// True when every frame of the journal reads cleanly and their number is
// journal.frames; otherwise false with the reason in error.
bool CheckJournal(const InputJournal& journal, std::string& error);
