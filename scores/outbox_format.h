// The score outbox file: finished games whose submission surely did not reach
// the score server, waiting to be sent at a later exchange.
//
// Format: plain ASCII text, lines ended by a line feed (the last one too).
//   line 1:  "munchet score outbox"
//   then one line per entry, oldest first, fields separated by ";":
//     version;id;keptAt;name;score;level;munchets;food[;later fields]
//   version   1 for the entries this game writes without a replay, 2 for
//             those with one; decimal, 1..999999
//   id        decimal 1..2^63-1, unique within the file; a newer entry gets
//             the largest id in the file plus one
//   keptAt    UTC seconds since 1970 when the entry was kept, 0..2^63-1
//   name      1 to 20 name characters: printable ASCII 32..126 but ";", "<"
//             and ">", as the name entry allows them, taken verbatim
//   score     decimal, 1..2^31-1 (a game only offers its score when above 0)
//   level, munchets   decimal, 0..2^31-1
//   food      decimal, -2^31..2^31-1
// Numbers are plain decimals: an optional "-" then digits, no leading zeros,
// no "+", no blanks. A version 1 line has exactly these eight fields. A later
// version may only append fields: this reader takes the first eight as above
// and keeps the rest verbatim, at most MaxLaterFieldsLength printable ASCII
// characters, so an older game neither refuses nor strips what a newer one
// wrote. Version 2 appends one field:
//   replay    the file name of the game's replay in the outbox's replay
//             folder (scores/outbox_replays.h), sent after the score; a
//             game that knows no replays sends the score alone, and the
//             replay, named by no entry any more, is then sent by itself.
//
// A file that breaks any rule is damaged: the reader still yields every entry
// line that keeps them (so no score is lost to one bad line) and says what was
// wrong; the caller sets the file aside.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "game/score_exchange.h"

// At most this many entries wait; keeping one more drops the oldest.
inline constexpr std::size_t MaxOutboxEntries = 100;
// Longer files are damaged: 100 entries with the longest later fields fit.
inline constexpr std::size_t MaxOutboxFileBytes = 65536;
inline constexpr std::size_t MaxLaterFieldsLength = 512;
inline constexpr int OutboxEntryVersion = 1;
inline constexpr int OutboxReplayEntryVersion = 2;

struct OutboxEntry {
    int version = OutboxEntryVersion;
    std::uint64_t id = 0;
    std::int64_t keptAt = 0;  // UTC seconds since 1970
    ScoreSubmission submission;
    std::string laterFields;  // what a later version appended, without its leading ";"; empty for version 1

    bool operator==(const OutboxEntry& other) const;
};

struct OutboxReading {
    std::vector<OutboxEntry> entries;  // every sound entry line, in file order
    std::string damage;                // the first thing found wrong; empty when the text is sound
};

// Reads text (any bytes; only the first MaxOutboxFileBytes are looked at).
OutboxReading ParseOutbox(std::string_view text);

// The text ParseOutbox reads back as entries, with no damage, provided every
// entry is IsKeepableEntry and their ids are unique.
std::string FormatOutbox(const std::vector<OutboxEntry>& entries);

// True when the name and counters are what a finished game can send (the
// rules in the format above): only such submissions are kept.
bool IsKeepableSubmission(const ScoreSubmission& submission);
bool IsKeepableEntry(const OutboxEntry& entry);

// The replay file an entry names (version 2 on); empty for none.
std::string OutboxReplayOf(const OutboxEntry& entry);

// One line "name;score;level;munchets;food" (no line feed), with the fields'
// rules of the format above, and the text of it.
std::optional<ScoreSubmission> ParseSubmissionLine(std::string_view line, std::string& reason);
std::string FormatSubmissionLine(const ScoreSubmission& submission);

// The submission as the logs show it: name in quotes and the four counters.
std::string DescribeSubmission(const ScoreSubmission& submission);
