// A game ticket: the score server's word that it dealt this random state for
// one game, at one moment. A game begun with a ticket plays from that state,
// and its replay carries the ticket back, so the server can tell that the
// game was neither chosen by the client nor played twice.
//
// Text form, as ticket.php answers it (one line, fields separated by one
// blank, hexadecimal digits in lower case):
//   "T1" id issuedAt state increment mac
//     id         decimal u64, 1 or more: the server's own number for it
//     issuedAt   decimal, 0 or more: UTC seconds since 1970 when it was issued
//     state      16 hex digits: RandomState::state the game begins with
//     increment  16 hex digits: RandomState::increment, odd
//     mac        64 hex digits: HMAC-SHA-256 by the server's key over
//                TicketSignedBytes (below)
// A line feed may follow. Anything else is no ticket.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/random.h"

struct GameTicket {
    std::uint64_t id = 0;  // 0: no ticket
    std::int64_t issuedAt = 0;
    RandomState random;
    std::array<std::uint8_t, 32> mac{};

    bool Held() const { return id != 0; }
    bool operator==(const GameTicket&) const = default;
};

// The bytes the server's MAC covers: id u64, issuedAt i64, state u64 and
// increment u64, each little-endian (32 bytes).
std::array<std::uint8_t, 32> TicketSignedBytes(const GameTicket& ticket);

std::string FormatTicket(const GameTicket& ticket);
// Any text; nothing when it is not one ticket in the form above.
std::optional<GameTicket> ParseTicket(std::string_view text);
