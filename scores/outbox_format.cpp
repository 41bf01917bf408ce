#include "scores/outbox_format.h"

#include <array>
#include <limits>
#include <optional>

#include "common/player_name.h"

namespace {

constexpr std::string_view Header = "munchet score outbox";
constexpr std::size_t EntryFields = 8;
constexpr std::int64_t MaxVersion = 999999;
constexpr std::int64_t Int32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t Int32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t Int64Max = std::numeric_limits<std::int64_t>::max();

// The longest line: every field at its widest, the eight separators, the
// line feed. A full outbox must fit the file size the reader accepts.
constexpr std::size_t LongestEntryLine =
    6 + 19 + 19 + MaxPlayerNameLength + 10 + 10 + 10 + 11 + 8 + MaxLaterFieldsLength + 1;
static_assert(Header.size() + 1 + MaxOutboxEntries * LongestEntryLine <= MaxOutboxFileBytes);

bool isPrintable(char c) { return c >= 32 && c <= 126; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isName(std::string_view name) {
    if (name.empty() || name.size() > MaxPlayerNameLength) return false;
    for (char c : name)
        if (!IsPlayerNameCharacter(c)) return false;
    return true;
}

// A plain decimal ("-"? then digits, no leading zero, no "-0") within
// [low, high]; low is never below -2^63 + 1.
std::optional<std::int64_t> readDecimal(std::string_view text, std::int64_t low, std::int64_t high) {
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    // 19 digits always fit in 64 unsigned bits, and more never fit the bounds.
    if (text.empty() || text.size() > 19 || (text.size() > 1 && text.front() == '0')) return std::nullopt;
    if (negative && text == "0") return std::nullopt;
    std::uint64_t magnitude = 0;
    for (char c : text) {
        if (!isDigit(c)) return std::nullopt;
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (magnitude > static_cast<std::uint64_t>(Int64Max)) return std::nullopt;
    const std::int64_t value =
        negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    if (value < low || value > high) return std::nullopt;
    return value;
}

// Reads the fields name, score, level, munchets and food; the reason they
// are refused otherwise.
std::optional<ScoreSubmission> readSubmission(const std::array<std::string_view, 5>& fields,
                                              std::string& reason) {
    const auto score = readDecimal(fields[1], 1, Int32Max);
    const auto level = readDecimal(fields[2], 0, Int32Max);
    const auto munchets = readDecimal(fields[3], 0, Int32Max);
    const auto food = readDecimal(fields[4], Int32Min, Int32Max);
    if (!score || !level || !munchets || !food) {
        reason = "bad number";
        return std::nullopt;
    }
    if (!isName(fields[0])) {
        reason = "bad name";
        return std::nullopt;
    }
    ScoreSubmission submission;
    submission.name = std::string(fields[0]);
    submission.score = static_cast<std::int32_t>(*score);
    submission.level = static_cast<std::int32_t>(*level);
    submission.munchets = static_cast<std::int32_t>(*munchets);
    submission.food = static_cast<std::int32_t>(*food);
    return submission;
}

// Reads one entry line (without its line feed); the reason it is refused
// otherwise.
std::optional<OutboxEntry> readEntry(std::string_view line, std::string& reason) {
    std::array<std::string_view, EntryFields> fields;
    std::optional<std::string_view> later;  // the text after the eighth field's ";"
    std::string_view rest = line;
    for (std::size_t i = 0; i < EntryFields; ++i) {
        const std::size_t end = rest.find(';');
        if (end == std::string_view::npos && i + 1 < EntryFields) {
            reason = "too few fields";
            return std::nullopt;
        }
        fields[i] = rest.substr(0, end);
        if (end != std::string_view::npos) {
            rest.remove_prefix(end + 1);
            if (i + 1 == EntryFields) later = rest;
        }
    }

    OutboxEntry entry;
    const auto version = readDecimal(fields[0], 1, MaxVersion);
    if (!version) {
        reason = "bad version";
        return std::nullopt;
    }
    entry.version = static_cast<int>(*version);
    if (later) {
        if (entry.version == OutboxEntryVersion) {
            reason = "too many fields";
            return std::nullopt;
        }
        if (later->size() > MaxLaterFieldsLength) {
            reason = "later fields too long";
            return std::nullopt;
        }
        for (char c : *later)
            if (!isPrintable(c)) {
                reason = "control character";
                return std::nullopt;
            }
        entry.laterFields = std::string(*later);
    }
    const auto id = readDecimal(fields[1], 1, Int64Max);
    const auto keptAt = readDecimal(fields[2], 0, Int64Max);
    const std::optional<ScoreSubmission> submission =
        readSubmission({fields[3], fields[4], fields[5], fields[6], fields[7]}, reason);
    if (!id || !keptAt) reason = "bad number";
    if (!id || !keptAt || !submission) return std::nullopt;
    entry.id = static_cast<std::uint64_t>(*id);
    entry.keptAt = *keptAt;
    entry.submission = *submission;
    return entry;
}

}  // namespace

OutboxReading ParseOutbox(std::string_view text) {
    OutboxReading reading;
    auto noteDamage = [&reading](std::string what) {
        if (reading.damage.empty()) reading.damage = std::move(what);
    };
    if (text.size() > MaxOutboxFileBytes) {
        noteDamage("longer than " + std::to_string(MaxOutboxFileBytes) + " bytes");
        text = text.substr(0, MaxOutboxFileBytes);
    }
    if (text.empty()) noteDamage("empty");

    std::size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            // A line without its line feed may have lost its end: the name
            // "abc" cut to "ab" would still read as sound.
            noteDamage("truncated in line " + std::to_string(lineNumber));
            break;
        }
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (lineNumber == 1 && line == Header) continue;
        if (lineNumber == 1) noteDamage("no header");

        std::string reason;
        std::optional<OutboxEntry> entry = readEntry(line, reason);
        if (entry) {
            for (const OutboxEntry& earlier : reading.entries)
                if (earlier.id == entry->id) {
                    reason = "repeated id";
                    entry.reset();
                    break;
                }
        }
        if (entry)
            reading.entries.push_back(std::move(*entry));
        else
            noteDamage("line " + std::to_string(lineNumber) + ": " + reason);
    }
    return reading;
}

std::optional<ScoreSubmission> ParseSubmissionLine(std::string_view line, std::string& reason) {
    std::array<std::string_view, 5> fields;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::size_t end = line.find(';');
        if ((end == std::string_view::npos) != (i + 1 == fields.size())) {
            reason = end == std::string_view::npos ? "too few fields" : "too many fields";
            return std::nullopt;
        }
        fields[i] = line.substr(0, end);
        line.remove_prefix(end == std::string_view::npos ? line.size() : end + 1);
    }
    return readSubmission(fields, reason);
}

std::string FormatSubmissionLine(const ScoreSubmission& s) {
    return s.name + ';' + std::to_string(s.score) + ';' + std::to_string(s.level) + ';' +
           std::to_string(s.munchets) + ';' + std::to_string(s.food);
}

std::string OutboxReplayOf(const OutboxEntry& entry) {
    if (entry.version < OutboxReplayEntryVersion) return {};
    return entry.laterFields.substr(0, entry.laterFields.find(';'));
}

std::string FormatOutbox(const std::vector<OutboxEntry>& entries) {
    std::string text(Header);
    text += '\n';
    for (const OutboxEntry& entry : entries) {
        text += std::to_string(entry.version) + ';' + std::to_string(entry.id) + ';' +
                std::to_string(entry.keptAt) + ';' + FormatSubmissionLine(entry.submission);
        if (!entry.laterFields.empty()) text += ';' + entry.laterFields;
        text += '\n';
    }
    return text;
}

bool OutboxEntry::operator==(const OutboxEntry& other) const {
    const ScoreSubmission& a = submission;
    const ScoreSubmission& b = other.submission;
    return version == other.version && id == other.id && keptAt == other.keptAt &&
           laterFields == other.laterFields && a.name == b.name && a.score == b.score && a.level == b.level &&
           a.munchets == b.munchets && a.food == b.food;
}

bool IsKeepableSubmission(const ScoreSubmission& s) {
    return isName(s.name) && s.score > 0 && s.level >= 0 && s.munchets >= 0;
}

bool IsKeepableEntry(const OutboxEntry& entry) {
    if (entry.version < 1 || entry.version > MaxVersion || entry.id < 1 ||
        entry.id > static_cast<std::uint64_t>(Int64Max) || entry.keptAt < 0)
        return false;
    if (entry.version == OutboxEntryVersion && !entry.laterFields.empty()) return false;
    if (entry.laterFields.size() > MaxLaterFieldsLength) return false;
    for (char c : entry.laterFields)
        if (!isPrintable(c)) return false;
    return IsKeepableSubmission(entry.submission);
}

std::string DescribeSubmission(const ScoreSubmission& s) {
    return '"' + s.name + "\" score " + std::to_string(s.score) + " level " + std::to_string(s.level) +
           " munchets " + std::to_string(s.munchets) + " food " + std::to_string(s.food);
}
