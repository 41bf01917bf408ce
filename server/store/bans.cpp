#include "server/store/bans.h"

#include <arpa/inet.h>

#include <array>
#include <charconv>
#include <cstring>
#include <ctime>

#include "server/store/client_address.h"

namespace {

// An address as its bytes: 4 for IPv4, 16 for IPv6; size 0 when not one.
struct AddressBytes {
    std::array<unsigned char, 16> bytes{};
    std::size_t size = 0;
};

AddressBytes ToBytes(std::string_view text) {
    AddressBytes out;
    char terminated[INET6_ADDRSTRLEN];
    if (text.empty() || text.size() >= sizeof terminated) return out;
    text.copy(terminated, text.size());
    terminated[text.size()] = '\0';
    if (inet_pton(AF_INET, terminated, out.bytes.data()) == 1) {
        out.size = 4;
    } else if (inet_pton(AF_INET6, terminated, out.bytes.data()) == 1) {
        out.size = 16;
    }
    return out;
}

bool SamePrefix(const AddressBytes& a, const AddressBytes& b, int bits) {
    if (a.size != b.size) return false;
    const auto whole = static_cast<std::size_t>(bits / 8);
    if (std::memcmp(a.bytes.data(), b.bytes.data(), whole) != 0) return false;
    const int rest = bits % 8;
    if (rest == 0) return true;
    const auto mask = static_cast<unsigned char>(0xff << (8 - rest));
    return (a.bytes[whole] & mask) == (b.bytes[whole] & mask);
}

// Splits "network/bits"; false when malformed or bits exceed the family's width.
bool SplitPrefix(std::string_view text, AddressBytes& network, int& bits) {
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos) return false;
    network = ToBytes(text.substr(0, slash));
    const std::string_view digits = text.substr(slash + 1);
    const auto [end, problem] = std::from_chars(digits.data(), digits.data() + digits.size(), bits);
    return network.size > 0 && problem == std::errc() && end == digits.data() + digits.size() &&
           !digits.empty() && bits >= 0 && bits <= static_cast<int>(8 * network.size);
}

// A reason is stored as the operator typed it; the reply keeps to one line.
std::string OneLine(std::string_view text) {
    std::string line;
    for (const char c : text) line += static_cast<unsigned char>(c) < 32 || c == 127 ? ' ' : c;
    return line;
}

}  // namespace

std::optional<BanKind> ParseBanKind(std::string_view text) {
    if (text == "name") return BanKind::name;
    if (text == "address") return BanKind::address;
    if (text == "prefix") return BanKind::prefix;
    return std::nullopt;
}

std::string_view BanKindName(BanKind kind) {
    switch (kind) {
        case BanKind::name:
            return "name";
        case BanKind::address:
            return "address";
        case BanKind::prefix:
            return "prefix";
    }
    return "?";
}

std::optional<std::string> CanonicalBanValue(BanKind kind, std::string_view text, std::string& error) {
    if (kind == BanKind::name) {
        if (!text.empty()) return std::string(text);
        error = "a name ban needs a name";
        return std::nullopt;
    }
    if (kind == BanKind::address) {
        std::string address = CanonicalAddress(text);
        if (!address.empty()) return address;
        error = "not an IPv4 or IPv6 address: " + std::string(text);
        return std::nullopt;
    }
    AddressBytes network;
    int bits = 0;
    if (!SplitPrefix(text, network, bits)) {
        error = "not an address prefix (203.0.113.0/24, 2001:db8::/48): " + std::string(text);
        return std::nullopt;
    }
    // Host bits are cleared, so two spellings of one block are one ban.
    for (std::size_t bit = static_cast<std::size_t>(bits); bit < 8 * network.size; ++bit)
        network.bytes[bit / 8] &= static_cast<unsigned char>(~(0x80 >> (bit % 8)));
    char written[INET6_ADDRSTRLEN];
    inet_ntop(network.size == 4 ? AF_INET : AF_INET6, network.bytes.data(), written, sizeof written);
    return std::string(written) + "/" + std::to_string(bits);
}

bool AddressInPrefix(std::string_view address, std::string_view prefix) {
    AddressBytes network;
    int bits = 0;
    return SplitPrefix(prefix, network, bits) && SamePrefix(ToBytes(address), network, bits);
}

bool BanMatchesRow(const Ban& ban, std::string_view name, std::string_view client) {
    switch (ban.kind) {
        case BanKind::name:
            return name == ban.value;
        case BanKind::address:
            return client == ban.value;
        case BanKind::prefix:
            return AddressInPrefix(client, ban.value);
    }
    return false;
}

bool BanCovers(const Ban& ban, std::string_view name, std::string_view client, std::int64_t unixTime) {
    if (ban.revoked || (ban.expires && *ban.expires <= unixTime)) return false;
    return BanMatchesRow(ban, name, client);
}

std::string BanRefusal(const Ban& ban) {
    std::string text = "banned";
    if (ban.expires) {
        const std::time_t until = static_cast<std::time_t>(*ban.expires);
        std::tm utc{};
        char written[32];
        if (gmtime_r(&until, &utc) && std::strftime(written, sizeof written, "%Y-%m-%d %H:%M UTC", &utc))
            text += std::string(" until ") + written;
    }
    if (!ban.reason.empty()) text += ": " + OneLine(ban.reason);
    return text + "\n";
}
