// Text for the highscore page and its JSON twin. Names are the players' own
// text, or whatever someone wrote into a copied database, so every byte is
// escaped for the place it lands in; nothing here trusts its input to be
// printable ASCII or even valid UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Appends text for HTML element content or a double- or single-quoted
// attribute value: & < > " ' become character references. Valid UTF-8 passes
// through; bytes that are not valid UTF-8, and the control characters U+0000
// to U+001F, U+007F to U+009F (which HTML cannot carry as text), become U+FFFD.
void AppendHtmlEscaped(std::string& out, std::string_view text);

// Appends text percent-encoded for a query value: every byte but A-Z a-z 0-9
// - . _ ~ becomes %XX (upper-case hex), as the game's client encodes a name.
// The result holds only characters that need no escaping in a URL, but an
// HTML attribute still needs AppendHtmlEscaped for the '&' between pairs.
void AppendPercentEncoded(std::string& out, std::string_view text);

// Appends a JSON string literal, quotes included, in pure ASCII: '"', '\' and
// control characters escaped, every other non-ASCII code point written as
// \uXXXX (a surrogate pair above U+FFFF), and every byte that is not part of
// valid UTF-8 written as \ufffd. Any input gives valid JSON.
void AppendJsonString(std::string& out, std::string_view text);

// Decodes an application/x-www-form-urlencoded value into out (cleared
// first): "%XX" escapes and '+' as a blank, which is how an HTML form sends
// one. False on a '%' not followed by two hex digits. out never grows beyond
// raw.size().
bool FormDecode(std::string_view raw, std::string& out);

// Appends a whole number with `separator` between groups of three digits
// ("-1,234,567" with the default); the full int64 range.
void AppendGrouped(std::string& out, std::int64_t value, std::string_view separator = ",");

// A moment in UTC in ISO 8601 form.
struct UtcTime {
    std::string date;      // "YYYY-MM-DD"
    std::string dateTime;  // "YYYY-MM-DDTHH:MM:SSZ"
};

// unixTime: seconds since 1970-01-01T00:00:00Z. Nothing for a time outside
// the years 0001 to 9999, which ISO 8601's four-digit years cannot show.
std::optional<UtcTime> FormatUtc(std::int64_t unixTime);
