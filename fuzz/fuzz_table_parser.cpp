// libFuzzer target over the score server's table text: any bytes must parse
// without a fault, and the rows must match what a plain line-by-line reading
// with the standard stream extraction finds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "scores/table_parser.h"

namespace {

// The score a formatted integer extraction reads from field; 0 when it fails.
std::int32_t streamScore(std::string_view field) {
    std::istringstream in{std::string(field)};
    int value = 0;
    if (!(in >> value)) return 0;
    return value;
}

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto rows = ParseHighscoreTable(text);
    check(rows.size() <= MaxTableRows);

    std::string_view rest = text;
    std::size_t index = 0;
    while (!rest.empty() && index < MaxTableRows) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);

        check(index < rows.size());
        const HighscoreEntry& row = rows[index++];
        const std::size_t semicolon = line.find(';');
        check(row.name == line.substr(0, semicolon));
        std::int32_t expected = 0;
        if (semicolon != std::string_view::npos) {
            std::string_view scoreField = line.substr(semicolon + 1);
            scoreField = scoreField.substr(0, scoreField.find(';'));
            if (!scoreField.empty()) expected = streamScore(scoreField);
        }
        check(row.score == expected);
        check(ReadScoreField(row.name) == streamScore(row.name));
    }
    check(index == rows.size());
    return 0;
}
