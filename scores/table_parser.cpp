#include "scores/table_parser.h"

#include <string>

#include "common/split_first.h"

namespace {

bool isFieldBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::int32_t ReadScoreField(std::string_view field) {
    std::size_t i = 0;
    while (i < field.size() && isFieldBlank(field[i])) ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
        negative = field[i] == '-';
        ++i;
    }
    if (i == field.size() || !isDigit(field[i])) return 0;

    // One past the largest magnitude a 32-bit value can hold (INT32_MIN's);
    // stopping there keeps the sum far from overflowing 64 bits.
    constexpr std::int64_t limit = std::int64_t{1} << 31;
    std::int64_t magnitude = 0;
    for (; i < field.size() && isDigit(field[i]); ++i) {
        magnitude = magnitude * 10 + (field[i] - '0');
        if (magnitude > limit) return 0;
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value >= limit) return 0;
    return static_cast<std::int32_t>(value);
}

std::vector<HighscoreEntry> ParseHighscoreTable(std::string_view text) {
    std::vector<HighscoreEntry> rows;
    std::string rest(text);
    std::string line;
    std::string field;
    while (SplitFirst(rest, "\n", line)) {
        if (rows.size() >= MaxTableRows) break;
        HighscoreEntry row;
        if (SplitFirst(line, ";", field)) {
            row.name = field;
            if (SplitFirst(line, ";", field)) row.score = ReadScoreField(field);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}
