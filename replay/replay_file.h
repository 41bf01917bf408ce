// A finished game as a file: where and how it began, the input of every frame
// from then to the frame in which it ended, and the counters it ended with.
// Played again on the rules it names (RulesVersion), it is the very same game.
//
// File format, version 2 (version 1 is read too: it is version 2 without the
// ticket and standing-still fields, read as a ticketless game that never
// stood still). Integers are little-endian; an f32 is an IEEE-754
// single-precision number stored as its 32 bits, so no value is ever rounded.
//   magic          8 bytes "MUNCHREP"
//   version        u16, 2
//   rules          u32, the RulesVersion the game was played under
//   random         u64 state, u64 increment: the generator as the game began
//   players        u8, 1 or 2
//   beginning      u8: 0 before the first frame (start-up's first game);
//                  1 in the first frame (F1, F2, or R or Space on the table)
//   name length    u8, 0..20, then that many name characters (common/player_name.h);
//                  the name the game was sent under, none when it was not sent
//   score, level, munchets, food   4 x i32, the counters after the last frame
//   recordedAt     i64, UTC seconds since 1970 when the game ended
//   ticket         u64 id (0: begun without one), i64 issuedAt, 32 bytes mac:
//                  the score server's ticket the game began with
//                  (common/game_ticket.h); its random state is the one above
//   standingStill  u32, milliseconds of wall time from the game's first
//                  frame until the replay was written in which it stood
//                  still (its frame times do not cover them): its window
//                  frozen, the name entry after its last frame, waiting on
//                  its own score exchange
//   frames         u32, 1..MaxReplayFrames
//   carried        u32, 0..MaxCarriedMunchets; 0 unless beginning is 1
//   body length    u32, 1..MaxReplayBodyBytes
//   body           a zlib stream (RFC 1950) that inflates to exactly
//                  carried * 24 + frames * 8 bytes:
//                    the carried munchets (GameBeginning::carried), each six
//                    f32: x, y, targetX, targetY, heading, splitTimer;
//                    then the frames column by column, each column holding
//                    one entry per frame, first frame first (columns of
//                    alike bytes are what makes the stream small):
//                      four columns: byte 0 (least significant) of every
//                        frame time's f32, then bytes 1, 2 and 3;
//                      two columns: the low byte, then the high byte, of the
//                        u16 of held keys: bit i is HeldKeysTheRulesRead[i];
//                      one column: the key pressed (0 for none);
//                      one column: the character typed (0 for none).
//   crc            u32, CRC-32 (zlib's crc32) of every byte before it
// Nothing may follow. A frame time may hold any bits: whether it is one the
// engine could have given is the verifier's question, not the reader's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/game_ticket.h"
#include "engine/frame_input.h"
#include "engine/random.h"
#include "game/munchet.h"

// The format's bounds. 2^21 frames is about six hours at 100 frames per
// second; a longer game is not recorded.
inline constexpr std::uint32_t MaxReplayFrames = 1u << 21;
inline constexpr std::uint32_t MaxCarriedMunchets = 4096;
inline constexpr std::size_t ReplayFrameBytes = 8;
inline constexpr std::size_t CarriedMunchetBytes = 24;
inline constexpr std::size_t MaxReplayBodyBytes = 24u << 20;
inline constexpr std::size_t ReplayHeaderBytes = 8 + 2 + 4 + 16 + 1 + 1 + 1 + 16 + 8 + 48 + 4 + 4 + 4 + 4;
inline constexpr std::size_t MaxReplayFileBytes = ReplayHeaderBytes + 20 + MaxReplayBodyBytes + 4;
inline constexpr std::uint16_t ReplayFormatVersion = 2;

enum class ReplayBeginning : std::uint8_t {
    BeforeFirstFrame = 0,  // the program's first game, begun at start-up
    InFirstFrame = 1,      // begun by a key held in the first frame
};

// One frame's input as the rules read it.
struct ReplayFrame {
    float frameTime = 0;     // seconds, kept bit for bit
    std::uint16_t held = 0;  // bit i: HeldKeysTheRulesRead[i] held
    std::uint8_t pressedKey = 0;
    std::uint8_t typedChar = 0;

    bool operator==(const ReplayFrame& other) const;
};

struct ReplayCounters {
    std::int32_t score = 0, level = 0, munchets = 0, food = 0;
    bool operator==(const ReplayCounters&) const = default;
};

// Everything a replay file holds but the frames: what a listing needs.
struct ReplaySummary {
    std::uint32_t rulesVersion = 0;
    RandomState startRandom;
    std::int32_t playerCount = 1;
    ReplayBeginning beginning = ReplayBeginning::BeforeFirstFrame;
    std::string name;
    ReplayCounters counters;
    std::int64_t recordedAt = 0;
    GameTicket ticket;  // its random is startRandom; not held: a ticketless game
    std::uint32_t standingStillMs = 0;
    std::uint32_t frameCount = 0;    // frames the file holds
    std::uint32_t carriedCount = 0;  // munchets carried over
};

struct Replay {
    ReplaySummary summary;  // frameCount and carriedCount follow the lists when written
    std::vector<Munchet> carried;
    std::vector<ReplayFrame> frames;
};

// What a reader may accept beyond the format's own bounds (a server takes
// shorter games than a player keeps).
struct ReplayLimits {
    std::uint32_t maxFrames = MaxReplayFrames;
    std::size_t maxFileBytes = MaxReplayFileBytes;
};

// The file's bytes. Empty when the replay breaks the format's bounds (too
// many frames or carried munchets, a player count other than 1 or 2, a name
// that is not a player's name).
std::string WriteReplay(const Replay& replay);

struct ReplayReading {
    bool ok = false;
    std::string error;  // why the bytes are no replay, when not ok
    Replay replay;
};

// Reads any bytes; checks every length against the format and limits before
// it allocates or inflates, and inflates no further than the header says.
ReplayReading ReadReplay(std::span<const std::uint8_t> bytes, ReplayLimits limits = {});
ReplayReading ReadReplay(std::string_view bytes, ReplayLimits limits = {});

// The header alone (frames and carried munchets are not inflated, nor the
// CRC checked): enough to list and prune a folder of replays cheaply.
struct ReplaySummaryReading {
    bool ok = false;
    std::string error;
    ReplaySummary summary;
};
ReplaySummaryReading ReadReplaySummary(std::string_view bytes);

// A frame's input as the rules read it, and back: held keys other than
// HeldKeysTheRulesRead are dropped.
ReplayFrame ToReplayFrame(const FrameInput& input);
FrameInput ToFrameInput(const ReplayFrame& frame);
