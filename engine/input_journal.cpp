#include "engine/input_journal.h"

#include <bit>

#include "engine/bit_cast.h"

namespace {

enum Flag : std::uint8_t { HeldChanged = 1, KeyPressed = 2, CharTyped = 4, TimeChanged = 8, KnownFlags = 15 };

// Journals run to a few bytes a frame: this holds a few minutes of play
// before the first reallocation.
constexpr std::size_t InitialCapacity = 64 * 1024;

std::uint32_t BitsOf(float value) { return BitCast<std::uint32_t>(value); }

}  // namespace

void InputJournal::Begin(const RandomState& random) {
    startRandom = random;
    bytes.clear();
    if (bytes.capacity() < InitialCapacity) bytes.reserve(InitialCapacity);
    frames = 0;
    last = FrameInput{};
    lastDroppable = false;
}

void InputJournal::Append(const FrameInput& input) {
    std::uint8_t flags = 0;
    std::uint8_t flipped[FrameInput::KeyCount];
    int flips = 0;
    for (std::size_t word = 0; word < input.held.size(); ++word)
        for (std::uint64_t changes = input.held[word] ^ last.held[word]; changes != 0; changes &= changes - 1)
            flipped[flips++] =
                static_cast<std::uint8_t>(word * 64 + static_cast<std::size_t>(std::countr_zero(changes)));
    if (flips > 0) flags |= HeldChanged;
    if (input.pressedKey != 0) flags |= KeyPressed;
    if (input.typedChar != 0) flags |= CharTyped;
    // Compared as bits: the same number must give the same bytes.
    if (BitsOf(input.frameTime) != BitsOf(last.frameTime)) flags |= TimeChanged;

    lastStart = bytes.size();
    beforeLast = last;
    lastDroppable = true;
    bytes.push_back(flags);
    if (flags & HeldChanged) {
        bytes.push_back(static_cast<std::uint8_t>(flips - 1));
        bytes.insert(bytes.end(), flipped, flipped + flips);
    }
    if (flags & KeyPressed) bytes.push_back(input.pressedKey);
    if (flags & CharTyped) bytes.push_back(input.typedChar);
    if (flags & TimeChanged) {
        const std::uint32_t bits = BitsOf(input.frameTime);
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(bits >> shift));
    }
    last = input;
    frames += 1;
}

void InputJournal::DropLast() {
    if (!lastDroppable) return;
    bytes.resize(lastStart);
    last = beforeLast;
    frames -= 1;
    lastDroppable = false;
}

JournalReader::Result JournalReader::Next(FrameInput& out) {
    const std::vector<std::uint8_t>& in = *bytes;
    if (!error.empty()) return Result::Malformed;
    if (at == in.size()) return Result::End;
    const auto fail = [&](const char* why) {
        error = "frame " + std::to_string(framesRead) + ": " + why;
        return Result::Malformed;
    };
    const auto take = [&](std::size_t n) { return in.size() - at >= n; };

    const std::uint8_t flags = in[at++];
    if (flags & ~KnownFlags) return fail("unknown flags");
    FrameInput frame = previous;
    frame.pressedKey = 0;
    frame.typedChar = 0;
    if (flags & HeldChanged) {
        if (!take(1)) return fail("cut short in its held keys");
        const std::size_t count = std::size_t{in[at++]} + 1;
        if (!take(count)) return fail("cut short in its held keys");
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t key = in[at + i];
            if (i > 0 && key <= in[at + i - 1]) return fail("held keys not in rising order");
            frame.held[key / 64] ^= std::uint64_t{1} << (key % 64);
        }
        at += count;
    }
    if (flags & KeyPressed) {
        if (!take(1)) return fail("cut short in its pressed key");
        frame.pressedKey = in[at++];
        if (frame.pressedKey == 0) return fail("pressed key 0");
    }
    if (flags & CharTyped) {
        if (!take(1)) return fail("cut short in its typed character");
        frame.typedChar = in[at++];
        if (frame.typedChar == 0) return fail("typed character 0");
    }
    if (flags & TimeChanged) {
        if (!take(4)) return fail("cut short in its frame time");
        std::uint32_t bits = 0;
        for (int shift = 0; shift < 32; shift += 8) bits |= std::uint32_t{in[at++]} << shift;
        frame.frameTime = BitCast<float>(bits);
        // NaN fails too.
        if (!(frame.frameTime >= MinFrameDelta && frame.frameTime <= MaxFrameDelta))
            return fail("frame time out of bounds");
    }
    if (framesRead == 0 && !(flags & TimeChanged)) return fail("first frame without a frame time");
    previous = frame;
    out = frame;
    framesRead += 1;
    return Result::Frame;
}

bool CheckJournal(const InputJournal& journal, std::string& error) {
    JournalReader reader(journal);
    FrameInput frame;
    JournalReader::Result result;
    while ((result = reader.Next(frame)) == JournalReader::Result::Frame) {
    }
    if (result == JournalReader::Result::Malformed) {
        error = reader.error;
        return false;
    }
    if (reader.FramesRead() != journal.frames) {
        error =
            "holds " + std::to_string(reader.FramesRead()) + " frames, not " + std::to_string(journal.frames);
        return false;
    }
    return true;
}
