#include "server/store/ticket_mint.h"

#include <nettle/hmac.h>
#include <nettle/memops.h>
#include <sys/random.h>

#include <algorithm>
#include <cerrno>

namespace {

constexpr int counterBits = 29;
constexpr std::uint64_t counterMask = (std::uint64_t{1} << counterBits) - 1;
constexpr char hexDigits[] = "0123456789abcdef";

std::uint64_t LittleEndian(const std::uint8_t* at) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = value << 8 | at[i];
    return value;
}

std::uint64_t RandomCounterStart() {
    std::array<std::uint8_t, 8> bytes{};
    FillRandom(bytes);
    return LittleEndian(bytes.data());
}

}  // namespace

bool FillRandom(std::span<std::uint8_t> bytes) {
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        filled += static_cast<std::size_t>(got);
    }
    return true;
}

std::string KeyToHex(const TicketKey& key) {
    std::string hex;
    for (const std::uint8_t byte : key) {
        hex += hexDigits[byte >> 4];
        hex += hexDigits[byte & 15];
    }
    return hex;
}

bool KeyFromHex(std::string_view text, TicketKey& key) {
    if (text.size() != 2 * key.size()) return false;
    const auto digit = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    for (std::size_t i = 0; i < key.size(); ++i) {
        const int high = digit(text[2 * i]), low = digit(text[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        key[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return true;
}

TicketMint::TicketMint(const TicketKey& key) : key(key), counter(RandomCounterStart()) {}

std::array<std::uint8_t, 32> TicketMint::Mac(std::span<const std::uint8_t> bytes) const {
    hmac_sha256_ctx context;
    hmac_sha256_set_key(&context, key.size(), key.data());
    hmac_sha256_update(&context, bytes.size(), bytes.data());
    std::array<std::uint8_t, 32> mac{};
    hmac_sha256_digest(&context, mac.size(), mac.data());
    return mac;
}

GameTicket TicketMint::Issue(std::int64_t unixTime) {
    const std::uint64_t n = counter.fetch_add(1, std::memory_order_relaxed) & counterMask;
    // Never id 0, which means no ticket: a clock before 1970 counts as 1970 and a second.
    return Reissue(static_cast<std::uint64_t>(std::max<std::int64_t>(unixTime, 1)) << counterBits | n);
}

GameTicket TicketMint::Reissue(std::uint64_t id) const {
    GameTicket ticket;
    ticket.id = id;
    ticket.issuedAt = static_cast<std::int64_t>(id >> counterBits);
    std::array<std::uint8_t, 9> seedInput{'R'};
    for (int i = 0; i < 8; ++i) seedInput[1 + i] = static_cast<std::uint8_t>(id >> (8 * i));
    const std::array<std::uint8_t, 32> seed = Mac(seedInput);
    ticket.random.state = LittleEndian(seed.data());
    ticket.random.increment = LittleEndian(seed.data() + 8) | 1u;
    ticket.mac = Mac(TicketSignedBytes(ticket));
    return ticket;
}

TicketFault TicketMint::Check(const GameTicket& ticket, std::int64_t unixTime) const {
    const GameTicket issued = Reissue(ticket.id);
    if (!(ticket.issuedAt == issued.issuedAt && ticket.random == issued.random)) return TicketFault::forged;
    return Check(ticket.id, ticket.mac, unixTime);
}

TicketFault TicketMint::Check(std::uint64_t id, const std::array<std::uint8_t, 32>& mac,
                              std::int64_t unixTime) const {
    // Ids above 2^63 would not fit the stores' signed ids; none is ever issued.
    if (id == 0 || id >> 63) return TicketFault::forged;
    const GameTicket issued = Reissue(id);
    if (!memeql_sec(issued.mac.data(), mac.data(), mac.size())) return TicketFault::forged;
    if (unixTime - issued.issuedAt > ticketLifetimeSeconds) return TicketFault::expired;
    return TicketFault::none;
}

std::string_view TicketFaultText(TicketFault fault) {
    switch (fault) {
        case TicketFault::forged:
            return "the ticket is not one this server issued";
        case TicketFault::expired:
            return "the ticket has expired: a game must begin within 24 hours of its ticket";
        case TicketFault::none:
            break;
    }
    return "";
}
