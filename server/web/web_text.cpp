#include "server/web/web_text.h"

#include <chrono>

namespace {

constexpr char hexDigits[] = "0123456789ABCDEF";
constexpr char32_t replacementCharacter = 0xFFFD;
constexpr std::string_view replacementUtf8 = "\xEF\xBF\xBD";

// One step through UTF-8 text.
struct CodePoint {
    char32_t value;      // replacementCharacter when the bytes are not valid UTF-8
    std::size_t length;  // bytes consumed: 1 to 4; an invalid sequence consumes one byte
    bool valid;
};

// Reads the code point at text[at] (at < text.size()). Overlong forms,
// surrogates and values above U+10FFFF are invalid, so what passes through
// as valid is exactly what a strict decoder accepts.
CodePoint DecodeUtf8(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return {lead, 1, true};
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return {replacementCharacter, 1, false};
    }
    if (text.size() - at < length) return {replacementCharacter, 1, false};
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = byte(at + i);
        if ((next & 0xC0) != 0x80) return {replacementCharacter, 1, false};
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return {replacementCharacter, 1, false};
    }
    return {value, length, true};
}

void AppendUnicodeEscape(std::string& out, char32_t unit) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += hexDigits[(unit >> shift) & 0xF];
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

void AppendHtmlEscaped(std::string& out, std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const CodePoint c = DecodeUtf8(text, at);
        if (!c.valid || c.value < 0x20 || (c.value >= 0x7F && c.value <= 0x9F)) {
            out += replacementUtf8;
        } else if (c.value == '&') {
            out += "&amp;";
        } else if (c.value == '<') {
            out += "&lt;";
        } else if (c.value == '>') {
            out += "&gt;";
        } else if (c.value == '"') {
            out += "&quot;";
        } else if (c.value == '\'') {
            out += "&#39;";
        } else {
            out += text.substr(at, c.length);
        }
        at += c.length;
    }
}

void AppendPercentEncoded(std::string& out, std::string_view text) {
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            out += ch;
        } else {
            out += '%';
            out += hexDigits[c >> 4];
            out += hexDigits[c & 0xF];
        }
    }
}

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (std::size_t at = 0; at < text.size();) {
        const CodePoint c = DecodeUtf8(text, at);
        at += c.length;
        if (c.value == '"') {
            out += "\\\"";
        } else if (c.value == '\\') {
            out += "\\\\";
        } else if (c.value >= 0x20 && c.value < 0x7F) {
            out += static_cast<char>(c.value);
        } else if (c.value < 0x10000) {
            AppendUnicodeEscape(out, c.value);
        } else {
            const char32_t offset = c.value - 0x10000;
            AppendUnicodeEscape(out, 0xD800 + (offset >> 10));
            AppendUnicodeEscape(out, 0xDC00 + (offset & 0x3FF));
        }
    }
    out += '"';
}

bool FormDecode(std::string_view raw, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '+') {
            out += ' ';
        } else if (raw[i] != '%') {
            out += raw[i];
        } else {
            if (raw.size() - i < 3) return false;
            const int high = HexValue(raw[i + 1]);
            const int low = HexValue(raw[i + 2]);
            if (high < 0 || low < 0) return false;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        }
    }
    return true;
}

void AppendGrouped(std::string& out, std::int64_t value, std::string_view separator) {
    // Work on the magnitude as unsigned, so INT64_MIN needs no special case.
    std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : value;
    char digits[20];
    int length = 0;
    do {
        digits[length++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) out += '-';
    for (int i = length - 1; i >= 0; --i) {
        out += digits[i];
        if (i > 0 && i % 3 == 0) out += separator;
    }
}

std::optional<UtcTime> FormatUtc(std::int64_t unixTime) {
    constexpr std::int64_t firstSecond = -62135596800;  // 0001-01-01T00:00:00Z
    constexpr std::int64_t lastSecond = 253402300799;   // 9999-12-31T23:59:59Z
    if (unixTime < firstSecond || unixTime > lastSecond) return std::nullopt;
    using namespace std::chrono;
    const sys_seconds moment{seconds{unixTime}};
    const sys_days day = floor<days>(moment);
    const year_month_day ymd{day};
    const hh_mm_ss<seconds> time{moment - day};
    // "YYYY-MM-DDTHH:MM:SSZ", by hand: snprintf would cost more than all the rest of a row.
    const auto put = [](char* at, unsigned value, int width) {
        for (int i = width - 1; i >= 0; --i, value /= 10) at[i] = static_cast<char>('0' + value % 10);
    };
    char text[] = "0000-00-00T00:00:00Z";
    put(text, static_cast<unsigned>(static_cast<int>(ymd.year())), 4);
    put(text + 5, static_cast<unsigned>(ymd.month()), 2);
    put(text + 8, static_cast<unsigned>(ymd.day()), 2);
    put(text + 11, static_cast<unsigned>(time.hours().count()), 2);
    put(text + 14, static_cast<unsigned>(time.minutes().count()), 2);
    put(text + 17, static_cast<unsigned>(time.seconds().count()), 2);
    UtcTime result;
    result.dateTime.assign(text, sizeof text - 1);
    result.date.assign(text, 10);
    return result;
}
