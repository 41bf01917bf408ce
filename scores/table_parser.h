// The score server's table text, parsed into rows.
//
// Format: plain 8-bit text, one row per line, lines separated by a line feed
// ("\n"). A row is the player name, ";", and the score as a decimal integer;
// a further ";" and whatever follows it are ignored. The lines come in rank
// order. An empty line gives a row with an empty name and score 0, a line
// without ";" a row whose name is the whole line and whose score is 0, and a
// final line feed adds no row. Names are taken verbatim: no trimming, no
// unescaping, a carriage return before the line feed stays in a name that has
// no ";" after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "game/highscore_entry.h"

// Rows beyond this many are ignored, whatever the server sends.
inline constexpr std::size_t MaxTableRows = 101;

// Parses text (any bytes, any length) into at most MaxTableRows rows, in the
// order received.
std::vector<HighscoreEntry> ParseHighscoreTable(std::string_view text);

// Reads a score field like formatted integer input: leading blanks, tabs,
// carriage returns, vertical tabs, form feeds (and line feeds) are skipped,
// then an optional sign and decimal digits are read up to the first other
// character. 0 when no digit follows, or when the number does not fit in 32
// signed bits.
std::int32_t ReadScoreField(std::string_view field);
