// The one record of input a frame gets: which keys are held, the key pressed
// and the character typed during the frame, and how long the frame lasts.
// The window loop builds it from the keyboard, headless runs take it from a
// script, and a journal stores and plays it back; the game's reads
// (Input_GetKeyState, Input_GetKey, Input_GetChar, Timer_GetDelta) answer
// from it alone.
#pragma once

#include <array>
#include <cstdint>

// The shortest and longest frame time the game is ever told, seconds. The
// game divides by the frame time, so it is never 0; and a frame that comes
// late after a stall (a blocking network request, a window being dragged)
// counts as at most MaxFrameDelta, so nothing on the field jumps: the game
// slows down instead.
inline constexpr float MinFrameDelta = 0.001f;
inline constexpr float MaxFrameDelta = 0.1f;

// The frame time every loop passes on: values within [MinFrameDelta,
// MaxFrameDelta] unchanged; anything longer, +infinity included, is
// MaxFrameDelta; anything shorter, and whatever is no duration at all (0,
// negatives, -infinity, NaN), is MinFrameDelta: the smallest step, never a
// step backwards and never a division by zero.
constexpr float BoundFrameTime(float seconds) {
    if (!(seconds >= MinFrameDelta)) return MinFrameDelta;
    if (seconds > MaxFrameDelta) return MaxFrameDelta;
    return seconds;
}

// Plain data, copied freely; every bit pattern of it is a valid record.
struct FrameInput {
    static constexpr int KeyCount = 256;  // virtual-key codes 0..255

    // Keys held during the frame: bit (code % 64) of word (code / 64).
    std::array<std::uint64_t, 4> held{};
    // The first key to go down during the frame (Input_GetKey), 0 for none.
    std::uint8_t pressedKey = 0;
    // The first byte typed during the frame, 0 for none. Input_GetChar
    // reports it only when it is 32..126.
    std::uint8_t typedChar = 0;
    // Seconds the frame lasts (Timer_GetDelta), passed through BoundFrameTime
    // when the frame runs. A headless script may leave it 0: the frame then
    // lasts the run's own frame time (HeadlessOptions::frameTime).
    float frameTime = 0;

    bool Holds(int key) const { return key >= 0 && key < KeyCount && (held[Word(key)] & Bit(key)) != 0; }
    // The character typed when it is one printable byte 32..126, else 0.
    int TypedCharacter() const { return typedChar >= 32 && typedChar <= 126 ? typedChar : 0; }
    // Key codes outside 0..255 are ignored by every setter.
    FrameInput& Hold(int key) {
        if (key >= 0 && key < KeyCount) held[Word(key)] |= Bit(key);
        return *this;
    }
    FrameInput& Release(int key) {
        if (key >= 0 && key < KeyCount) held[Word(key)] &= ~Bit(key);
        return *this;
    }
    // A key that goes down in this frame: held, and reported by Input_GetKey.
    FrameInput& Press(int key) {
        if (key > 0 && key < KeyCount) pressedKey = static_cast<std::uint8_t>(key);
        return Hold(key);
    }
    FrameInput& Type(char c) {
        typedChar = static_cast<unsigned char>(c);
        return *this;
    }
    FrameInput& Lasting(float seconds) {
        frameTime = seconds;
        return *this;
    }

    bool operator==(const FrameInput&) const = default;

private:
    static constexpr std::size_t Word(int key) { return static_cast<std::size_t>(key) / 64; }
    static constexpr std::uint64_t Bit(int key) {
        return std::uint64_t{1} << (static_cast<unsigned>(key) % 64);
    }
};
