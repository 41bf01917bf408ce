// Bans an operator sets with `munchet-scores admin ban`: who they cover, and
// the one test every submission goes through.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class BanKind {
    name,     // the exact name a submission carries
    address,  // one client address, as the server records it
    prefix,   // an address block written as CIDR: 203.0.113.0/24, 2001:db8::/48
};

struct Ban {
    std::int64_t id = 0;
    BanKind kind = BanKind::name;
    std::string value;  // as the kind needs it: canonical address, or "network/bits"
    std::string reason;
    std::int64_t created = 0;             // seconds since 1970, UTC
    std::optional<std::int64_t> expires;  // no longer refuses from then on; nullopt: never
    std::optional<std::int64_t> revoked;  // when `admin unban` lifted it
};

// "name", "address", "prefix"; nullopt for anything else.
std::optional<BanKind> ParseBanKind(std::string_view text);
std::string_view BanKindName(BanKind kind);

// The ban's value in the form stored and compared: an address in its
// canonical text, a prefix with its host bits cleared; nullopt, with a
// message, when text is no value of that kind.
std::optional<std::string> CanonicalBanValue(BanKind kind, std::string_view text, std::string& error);

// True when address lies in prefix (canonical, as CanonicalBanValue gives it).
bool AddressInPrefix(std::string_view address, std::string_view prefix);

// True when the ban covers a submission of this name from this client at
// unixTime: neither revoked nor expired, and of that name or address.
bool BanCovers(const Ban& ban, std::string_view name, std::string_view client, std::int64_t unixTime);

// Whether a stored row of this name and client falls under the ban,
// whatever its time: the rows a new ban hides.
bool BanMatchesRow(const Ban& ban, std::string_view name, std::string_view client);

// The one-line answer a covered submission gets: why, and until when.
std::string BanRefusal(const Ban& ban);
