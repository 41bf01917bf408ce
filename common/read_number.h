// Numbers at the start of untrusted text, read with std::from_chars: the one
// place the font file, the score table and the score server's address read
// integers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// An optionally signed ("+" or "-") decimal integer at the very start of
// text, up to the first character that is not a digit. nullopt when no digit
// follows the sign or the number does not fit in 32 signed bits. used
// (optional) receives the number of characters read.
std::optional<std::int32_t> ReadDecimalPrefix(std::string_view text, std::size_t* used = nullptr);

// Hexadecimal digits (either case, no prefix) at the very start of text, up
// to the first other character, as a value from 0 to max. nullopt without a
// digit or above max.
std::optional<std::uint32_t> ReadHexPrefix(std::string_view text, std::uint32_t max,
                                           std::size_t* used = nullptr);

// The whole of text as decimal digits only (no sign, no blanks), from 0 to
// max; nullopt otherwise.
std::optional<std::uint32_t> ReadDecimal(std::string_view text, std::uint32_t max);
