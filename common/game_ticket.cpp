#include "common/game_ticket.h"

#include <charconv>

namespace {

constexpr std::string_view Prefix = "T1";
constexpr char HexDigits[] = "0123456789abcdef";

void PutLittleEndian(std::uint8_t* at, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void AppendHex(std::string& out, std::uint64_t value) {
    for (int shift = 60; shift >= 0; shift -= 4) out.push_back(HexDigits[(value >> shift) & 0xf]);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Splits off the next blank-separated field; empty when none is left.
std::string_view NextField(std::string_view& rest) {
    const std::size_t blank = rest.find(' ');
    const std::string_view field = rest.substr(0, blank);
    rest = blank == std::string_view::npos ? std::string_view{} : rest.substr(blank + 1);
    return field;
}

template <typename Integer>
bool ParseDecimal(std::string_view text, Integer& value) {
    // Digits only, without a sign: "-0" would read as 0 but is not its text.
    if (text.empty() || text.size() > 20 || text[0] == '-' || (text.size() > 1 && text[0] == '0'))
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size();
}

bool ParseHex64(std::string_view text, std::uint64_t& value) {
    if (text.size() != 16) return false;
    value = 0;
    for (char c : text) {
        const int digit = HexValue(c);
        if (digit < 0) return false;
        value = value << 4 | static_cast<std::uint64_t>(digit);
    }
    return true;
}

}  // namespace

std::array<std::uint8_t, 32> TicketSignedBytes(const GameTicket& ticket) {
    std::array<std::uint8_t, 32> bytes{};
    PutLittleEndian(bytes.data(), ticket.id);
    PutLittleEndian(bytes.data() + 8, static_cast<std::uint64_t>(ticket.issuedAt));
    PutLittleEndian(bytes.data() + 16, ticket.random.state);
    PutLittleEndian(bytes.data() + 24, ticket.random.increment);
    return bytes;
}

std::string FormatTicket(const GameTicket& ticket) {
    std::string text(Prefix);
    text += ' ' + std::to_string(ticket.id) + ' ' + std::to_string(ticket.issuedAt) + ' ';
    AppendHex(text, ticket.random.state);
    text += ' ';
    AppendHex(text, ticket.random.increment);
    text += ' ';
    for (std::uint8_t byte : ticket.mac) {
        text.push_back(HexDigits[byte >> 4]);
        text.push_back(HexDigits[byte & 0xf]);
    }
    return text;
}

std::optional<GameTicket> ParseTicket(std::string_view text) {
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    // A blank after the last field would vanish when the ticket is written
    // back: it is another text, so not this ticket.
    if (text.ends_with(' ')) return std::nullopt;
    if (NextField(text) != Prefix) return std::nullopt;
    GameTicket ticket;
    if (!ParseDecimal(NextField(text), ticket.id) || ticket.id == 0) return std::nullopt;
    if (!ParseDecimal(NextField(text), ticket.issuedAt) || ticket.issuedAt < 0) return std::nullopt;
    if (!ParseHex64(NextField(text), ticket.random.state) ||
        !ParseHex64(NextField(text), ticket.random.increment) || (ticket.random.increment & 1) == 0)
        return std::nullopt;
    const std::string_view mac = NextField(text);
    if (mac.size() != 2 * ticket.mac.size() || !text.empty()) return std::nullopt;
    for (std::size_t i = 0; i < ticket.mac.size(); ++i) {
        const int high = HexValue(mac[2 * i]), low = HexValue(mac[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        ticket.mac[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return ticket;
}
