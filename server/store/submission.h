// One score submission as the game sends it in the query of
// "/hosted/vlkn/scores/pr/add.php", and the one parser that turns an
// untrusted query string into it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/player_name.h"

// A submission that passed every check of ParseSubmission.
struct Submission {
    std::string name;       // 1..maxNameLength printable ASCII characters, no ';' '<' '>'
    std::int32_t score;     // > 0, equal to ExpectedScore(level, munchets, food)
    std::int32_t level;     // >= 0; level 0 is the first level
    std::int32_t munchets;  // >= 0; munchets eaten, each weighted by level + 1
    std::int32_t food;      // any value; food eaten minus 5 x (level + 1) per item saved

    bool operator==(const Submission&) const = default;
};

// Either a valid submission or the reason it was refused.
struct SubmissionResult {
    std::optional<Submission> submission;  // set when the query is valid
    std::string_view error;                // short plain-text reason (static storage); empty when valid
};

inline constexpr std::size_t maxNameLength = MaxPlayerNameLength;   // characters, after percent-decoding
inline constexpr std::size_t maxQueryLength = 512;                  // raw bytes; a real query is under 160
inline constexpr std::size_t maxRawNameLength = 3 * maxNameLength;  // every character escaped
inline constexpr std::size_t maxRawNumberLength = 33;               // "-2147483648" fully escaped

// Parses and validates the raw query (the text after '?', still percent-encoded).
// The five keys name, score, level, munchets and food must each occur exactly
// once, in any order, and no other key may occur. Values are percent-decoded
// ("%XX" only; '+' is an ordinary character, as the game never sends it for a
// blank). Pure: no allocation beyond the result, no global state.
SubmissionResult ParseSubmission(std::string_view query);

// True for a character a name may hold: printable ASCII 32..126 except ';', '<', '>'.
bool IsNameCharacter(char c);

// The score a game must have reached with these counters: every munchet eaten
// gave 100 points per unit of `munchets`, each level reached added 10000 x that
// level, and every unit of `food` cost 3 points. Computed without overflow;
// nullopt when the result does not fit in 64 bits (no valid score can match it then).
std::optional<std::int64_t> ExpectedScore(std::int32_t level, std::int32_t munchets, std::int32_t food);

// The query the game would send for this submission: name escaped like
// curl_easy_escape does (all but A-Z a-z 0-9 - . _ ~), keys in the game's order.
std::string FormatSubmissionQuery(const Submission& submission);
