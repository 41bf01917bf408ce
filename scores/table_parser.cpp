#include "scores/table_parser.h"

#include <string>

#include "common/read_number.h"
#include "common/split_first.h"

namespace {

bool isFieldBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::int32_t ReadScoreField(std::string_view field) {
    std::size_t i = 0;
    while (i < field.size() && isFieldBlank(field[i])) ++i;
    return ReadDecimalPrefix(field.substr(i)).value_or(0);
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
