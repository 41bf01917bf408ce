// Game tickets as this server deals them (common/game_ticket.h). A ticket
// needs no row to be issued: everything in it follows from its id and the
// server's key, so any process holding the key can tell a ticket it (or a
// sibling) issued from one it did not, and ticket.php writes nothing. Only a
// game's start and the row a ticket proved are stored (the stores' tickets
// table).
//
//   id         issuedAt * 2^29 + n: n counts this process's tickets from a
//              random start, so ids never repeat within a process; two
//              processes of a fleet, each dealing r tickets a second, deal
//              one id twice with a chance of about 2r in 2^29 a second (two
//              players then hold one ticket, and the second replay sent gets
//              409)
//   random     the first 16 bytes of HMAC-SHA-256(key, "R" id): unknown to
//              anyone without the key until the ticket is dealt
//   mac        HMAC-SHA-256(key, TicketSignedBytes)
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/game_ticket.h"

using TicketKey = std::array<std::uint8_t, 32>;

// A ticket proves a game begun at most this long after it was issued.
inline constexpr std::int64_t ticketLifetimeSeconds = 24 * 60 * 60;

// Fills bytes from the kernel's CSPRNG (getrandom). False only when the
// kernel refuses, which a server must not paper over with weaker bytes.
bool FillRandom(std::span<std::uint8_t> bytes);

// The key as 64 lowercase hex digits, and back; nothing when text is not that.
std::string KeyToHex(const TicketKey& key);
bool KeyFromHex(std::string_view text, TicketKey& key);

// Why a ticket the client holds is not one to accept.
enum class TicketFault {
    none,
    forged,   // not what this key issued under its id
    expired,  // older than ticketLifetimeSeconds
};

class TicketMint {
public:
    explicit TicketMint(const TicketKey& key);

    // A new ticket issued at unixTime (seconds, > 0). Any thread.
    GameTicket Issue(std::int64_t unixTime);
    // The ticket this key issues under id.
    GameTicket Reissue(std::uint64_t id) const;
    // Whether ticket is one this key issued, unaltered and unexpired at unixTime.
    TicketFault Check(const GameTicket& ticket, std::int64_t unixTime) const;
    // The same for a ticket known only by its id and MAC (start.php).
    TicketFault Check(std::uint64_t id, const std::array<std::uint8_t, 32>& mac, std::int64_t unixTime) const;

private:
    std::array<std::uint8_t, 32> Mac(std::span<const std::uint8_t> bytes) const;

    TicketKey key;
    std::atomic<std::uint64_t> counter;
};

// One line, no newline, for a fault other than none.
std::string_view TicketFaultText(TicketFault fault);
