// A writer for FastTracker 2 "Extended Module" (XM) files, version 0x0104.
//
// File layout (all numbers little-endian; names padded with zero bytes):
//
//   Header, 336 bytes:
//     0   17  "Extended Module: "
//     17  20  module name
//     37   1  0x1A
//     38  20  tracker name
//     58   2  version, 0x0104
//     60   4  header size counted from offset 60: 276
//     64   2  song length (entries used in the order table, 1..256)
//     66   2  restart position (order to jump to at the end of the song)
//     68   2  channels (2..32, even)
//     70   2  patterns (1..256)
//     72   2  instruments (1..128)
//     74   2  flags; bit 0: linear frequency table
//     76   2  default tempo (ticks per row, 1..31)
//     78   2  default BPM (32..255; a tick lasts 2.5 / BPM seconds)
//     80 256  order table: pattern number of each song position
//
//   Each pattern:
//     4  header length: 9
//     1  packing type: 0
//     2  rows (1..256)
//     2  size of the packed data that follows, bytes
//     rows × channels cells, row by row. A packed cell is one byte
//     0x80 | which of the fields follow (1 note, 2 instrument, 4 volume,
//     8 effect, 16 parameter), then those fields, one byte each; an empty cell
//     is the single byte 0x80.
//     Note: 1 = C-0 .. 96 = B-7, 97 = key off. Instrument: 1-based.
//     Volume column: 0x10..0x50 sets volume 0..64; 0xC0..0xCF panning;
//     0xF0..0xFF tone portamento. Effect and parameter as in FastTracker 2.
//
//   Each instrument:
//     4  instrument header size: 263
//     22 name
//     1  type: 0
//     2  number of samples (1..16)
//     4  sample header size: 40
//     96 sample number (0-based, within the instrument) for each note
//     48 volume envelope: 12 points of (tick u16, value 0..64 u16)
//     48 panning envelope: 12 points of (tick u16, value 0..64 u16)
//     1  volume points, 1 panning points
//     1  volume sustain point, 1 volume loop start, 1 volume loop end
//     1  panning sustain point, 1 panning loop start, 1 panning loop end
//     1  volume type, 1 panning type: bit 0 on, bit 1 sustain, bit 2 loop
//     1  vibrato type (0 sine, 1 square, 2 ramp down, 3 ramp up)
//     1  vibrato sweep, 1 vibrato depth, 1 vibrato rate
//     2  volume fadeout after key off (per tick, out of 32768)
//     22 reserved (zero)
//   then the sample headers, 40 bytes each:
//     4  length in bytes
//     4  loop start in bytes
//     4  loop length in bytes
//     1  volume 0..64
//     1  finetune, signed, 1/128 semitone
//     1  type: bits 0-1 loop (0 none, 1 forward, 2 ping-pong); bit 4 16-bit
//     1  panning 0..255
//     1  relative note, signed semitones
//     1  reserved (0)
//     22 name
//   then each sample's data, delta-encoded: every 16-bit value is the
//   difference from the previous sample (the first from 0), wrapping.
//
// Pitch, with the linear table: a note n played on a sample with relative
// note r and finetune f plays the sample at
//   8363 × 2^((n − 49 + r + f/128) / 12) samples per second,
// so note 49 (C-4) plays an untuned sample at 8363 per second.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace xm {

inline constexpr std::uint8_t KeyOff = 97;
// XM note of a MIDI note (60, middle C, is C-4 = 49).
constexpr std::uint8_t NoteFromMidi(int midi) { return static_cast<std::uint8_t>(midi - 11); }
// Volume column value that sets volume 0..64.
constexpr std::uint8_t SetVolume(int volume) { return static_cast<std::uint8_t>(0x10 + volume); }

struct Cell {
    std::uint8_t note = 0;        // 0 none, 1..96, KeyOff
    std::uint8_t instrument = 0;  // 0 none, 1-based
    std::uint8_t volume = 0;      // volume column, 0 none
    std::uint8_t effect = 0;
    std::uint8_t parameter = 0;

    bool operator==(const Cell&) const = default;
};

struct Pattern {
    int rows = 64;
    int channels = 0;
    std::vector<Cell> cells;  // row by row

    Pattern(int rowCount, int channelCount)
        : rows(rowCount), channels(channelCount), cells(static_cast<std::size_t>(rowCount * channelCount)) {}
    Cell& At(int row, int channel) { return cells[static_cast<std::size_t>(row * channels + channel)]; }
    const Cell& At(int row, int channel) const {
        return cells[static_cast<std::size_t>(row * channels + channel)];
    }
};

struct EnvelopePoint {
    std::uint16_t tick = 0;
    std::uint16_t value = 0;  // 0..64
};

struct Envelope {
    std::vector<EnvelopePoint> points;  // up to 12, ticks rising; empty = off
    int sustain = -1;                   // point index or -1
    int loopStart = -1, loopEnd = -1;   // point indices or -1
};

enum class Loop : std::uint8_t { None = 0, Forward = 1, PingPong = 2 };

struct Sample {
    std::string name;  // up to 22 characters
    std::vector<std::int16_t> data;
    Loop loop = Loop::None;
    std::uint32_t loopStart = 0, loopLength = 0;  // in samples
    std::uint8_t volume = 64;                     // 0..64
    std::int8_t finetune = 0;
    std::uint8_t panning = 128;  // 0 left .. 255 right
    std::int8_t relativeNote = 0;
};

struct Instrument {
    std::string name;                              // up to 22 characters
    std::vector<Sample> samples;                   // 1..16
    std::array<std::uint8_t, 96> sampleForNote{};  // index into samples
    Envelope volume, panning;
    std::uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
    std::uint16_t fadeout = 0;
};

struct Module {
    std::string name;                          // up to 20 characters
    std::string tracker = "munchet-soundgen";  // up to 20 characters
    int channels = 8;
    bool linearFrequencies = true;
    int tempo = 6;  // ticks per row
    int bpm = 125;
    int restart = 0;  // order index
    std::vector<std::uint8_t> orders;
    std::vector<Pattern> patterns;
    std::vector<Instrument> instruments;
};

// The relative note and finetune that make a sample sounding referenceHz when
// played at sampleRate sound that same pitch at the MIDI note referenceMidi.
void Tune(Sample& sample, double sampleRate, double referenceHz, int referenceMidi);

// Checks every limit of the format; false with the first problem in error.
bool Validate(const Module& module, std::string& error);
// The file's bytes; empty (with error) when Validate fails.
std::vector<std::uint8_t> Write(const Module& module, std::string& error);

}  // namespace xm
