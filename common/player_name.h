// What a player's name may hold: the one rule for the game that types it and
// the score server that stores it.
#pragma once

#include <cstddef>

// Characters, at most.
inline constexpr std::size_t MaxPlayerNameLength = 20;

// Printable ASCII (32..126) but ";" (the table's field separator), "<" and
// ">" (kept out of any page the table may end up on). c is a character code,
// or a char's value: bytes above 127 read as negative chars are refused too.
constexpr bool IsPlayerNameCharacter(int c) {
    return c >= 32 && c <= 126 && c != ';' && c != '<' && c != '>';
}
