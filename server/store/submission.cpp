#include "server/store/submission.h"

#include <array>
#include <charconv>

#include "common/player_name.h"

namespace {

enum Key { keyName, keyScore, keyLevel, keyMunchets, keyFood, keyCount };

constexpr std::array<std::string_view, keyCount> keyNames = {"name", "score", "level", "munchets", "food"};

constexpr std::array<std::string_view, keyCount> missingErrors = {
    "missing key: name", "missing key: score", "missing key: level", "missing key: munchets",
    "missing key: food"};

constexpr std::array<std::string_view, keyCount> duplicateErrors = {
    "duplicate key: name", "duplicate key: score", "duplicate key: level", "duplicate key: munchets",
    "duplicate key: food"};

constexpr std::array<std::string_view, keyCount> numberErrors = {
    "", "score is not a 32-bit decimal integer", "level is not a 32-bit decimal integer",
    "munchets is not a 32-bit decimal integer", "food is not a 32-bit decimal integer"};

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes "%XX" escapes into out (cleared first). Fails on a '%' that is not
// followed by two hex digits. out never grows beyond raw.size().
bool PercentDecode(std::string_view raw, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '%') {
            out.push_back(raw[i]);
            continue;
        }
        if (raw.size() - i < 3) return false;
        const int high = HexValue(raw[i + 1]);
        const int low = HexValue(raw[i + 2]);
        if (high < 0 || low < 0) return false;
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return true;
}

// Whole text must be an optional '-' and decimal digits within int32 range.
bool ParseInt32(std::string_view text, std::int32_t& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

}  // namespace

bool IsNameCharacter(char c) { return IsPlayerNameCharacter(c); }

std::optional<std::int64_t> ExpectedScore(std::int32_t level, std::int32_t munchets, std::int32_t food) {
    // 10000 x (1 + 2 + ... + level) for the level bonuses. A level near 2^31
    // makes this overflow 64 bits, so every step is checked.
    const std::int64_t l = level;
    std::int64_t levelPart = 0;
    if (__builtin_mul_overflow(l, l + 1, &levelPart)) return std::nullopt;
    if (__builtin_mul_overflow(levelPart, std::int64_t{5000}, &levelPart)) return std::nullopt;
    const std::int64_t munchetPart = std::int64_t{100} * munchets;
    const std::int64_t foodPart = std::int64_t{3} * food;
    std::int64_t total = 0;
    if (__builtin_add_overflow(munchetPart, levelPart, &total)) return std::nullopt;
    if (__builtin_sub_overflow(total, foodPart, &total)) return std::nullopt;
    return total;
}

SubmissionResult ParseSubmission(std::string_view query) {
    if (query.size() > maxQueryLength) return {std::nullopt, "query too long"};

    std::array<std::optional<std::string_view>, keyCount> raw;
    std::string_view rest = query;
    while (true) {
        const std::size_t amp = rest.find('&');
        const std::string_view pair = rest.substr(0, amp);
        if (pair.empty()) return {std::nullopt, "empty parameter"};
        const std::size_t eq = pair.find('=');
        if (eq == std::string_view::npos) return {std::nullopt, "parameter without '='"};
        const std::string_view key = pair.substr(0, eq);
        int index = -1;
        for (int k = 0; k < keyCount; ++k) {
            if (key == keyNames[k]) index = k;
        }
        if (index < 0) return {std::nullopt, "unknown key"};
        if (raw[index]) return {std::nullopt, duplicateErrors[index]};
        raw[index] = pair.substr(eq + 1);
        if (amp == std::string_view::npos) break;
        rest.remove_prefix(amp + 1);
    }
    for (int k = 0; k < keyCount; ++k) {
        if (!raw[k]) return {std::nullopt, missingErrors[k]};
    }

    Submission s{};
    if (raw[keyName]->size() > maxRawNameLength) return {std::nullopt, "name longer than 20 characters"};
    if (!PercentDecode(*raw[keyName], s.name)) return {std::nullopt, "bad percent-escape in name"};
    if (s.name.empty()) return {std::nullopt, "name is empty"};
    if (s.name.size() > maxNameLength) return {std::nullopt, "name longer than 20 characters"};
    for (char c : s.name) {
        if (!IsNameCharacter(c)) return {std::nullopt, "name holds a character that is not allowed"};
    }

    std::array<std::int32_t*, keyCount> numbers = {nullptr, &s.score, &s.level, &s.munchets, &s.food};
    std::string decoded;
    for (int k = keyScore; k < keyCount; ++k) {
        if (raw[k]->size() > maxRawNumberLength) return {std::nullopt, numberErrors[k]};
        if (!PercentDecode(*raw[k], decoded)) return {std::nullopt, numberErrors[k]};
        if (!ParseInt32(decoded, *numbers[k])) return {std::nullopt, numberErrors[k]};
    }

    if (s.level < 0) return {std::nullopt, "level is negative"};
    if (s.munchets < 0) return {std::nullopt, "munchets is negative"};
    if (s.score <= 0) return {std::nullopt, "score is not positive"};
    const std::optional<std::int64_t> expected = ExpectedScore(s.level, s.munchets, s.food);
    if (!expected || *expected != s.score)
        return {std::nullopt, "score does not match level, munchets and food"};
    return {std::move(s), {}};
}

std::string FormatSubmissionQuery(const Submission& submission) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string query = "name=";
    for (const char c : submission.name) {
        const auto u = static_cast<unsigned char>(c);
        const bool unreserved = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') ||
                                u == '-' || u == '.' || u == '_' || u == '~';
        if (unreserved) {
            query.push_back(c);
        } else {
            query.push_back('%');
            query.push_back(hex[u >> 4]);
            query.push_back(hex[u & 15]);
        }
    }
    query += "&score=" + std::to_string(submission.score);
    query += "&level=" + std::to_string(submission.level);
    query += "&munchets=" + std::to_string(submission.munchets);
    query += "&food=" + std::to_string(submission.food);
    return query;
}
