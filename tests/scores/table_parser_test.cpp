#include "scores/table_parser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <string>
#include <vector>

#include "scores/score_client.h"

namespace {

std::vector<HighscoreEntry> rows(std::initializer_list<std::pair<const char*, int>> list) {
    std::vector<HighscoreEntry> out;
    for (const auto& [name, score] : list) out.push_back({name, score});
    return out;
}

MATCHER_P(RowsAre, expected, "") {
    if (arg.size() != expected.size()) {
        *result_listener << "holds " << arg.size() << " rows";
        return false;
    }
    for (std::size_t i = 0; i < arg.size(); ++i) {
        if (arg[i].name != expected[i].name || arg[i].score != expected[i].score) {
            *result_listener << "row " << i << " is (\"" << arg[i].name << "\", " << arg[i].score << ")";
            return false;
        }
    }
    return true;
}

}  // namespace

TEST(TableParser, LinesBecomeRowsInOrder) {
    EXPECT_THAT(ParseHighscoreTable("a;10\nb;5\n"), RowsAre(rows({{"a", 10}, {"b", 5}})));
    // Without the final line feed, with an empty line in the middle.
    EXPECT_THAT(ParseHighscoreTable("a;10\n\nb;5"), RowsAre(rows({{"a", 10}, {"", 0}, {"b", 5}})));
    EXPECT_TRUE(ParseHighscoreTable("").empty());
    EXPECT_THAT(ParseHighscoreTable("\n"), RowsAre(rows({{"", 0}})));
}

TEST(TableParser, FieldsAreTakenAsTheServerSentThem) {
    EXPECT_THAT(ParseHighscoreTable("just a name\n"), RowsAre(rows({{"just a name", 0}})));
    EXPECT_THAT(ParseHighscoreTable("x;12abc;99\nx; -7\nx;;5\nx;\n;42"),
                RowsAre(rows({{"x", 12}, {"x", -7}, {"x", 0}, {"x", 0}, {"", 42}})));
    // No trimming, no unescaping, anything after a second ";" ignored.
    EXPECT_THAT(ParseHighscoreTable("  a%20b <i> ;7;extra;fields\n"), RowsAre(rows({{"  a%20b <i> ", 7}})));
}

TEST(TableParser, CarriageReturnsStayInNamesButNotInScores) {
    EXPECT_THAT(ParseHighscoreTable("abc\r\nd;4\r\ne;\r5\r\n"),
                RowsAre(rows({{"abc\r", 0}, {"d", 4}, {"e", 5}})));
}

TEST(TableParser, KeepsAtMost101Rows) {
    std::string text;
    for (int i = 0; i < 150; ++i) text += "p" + std::to_string(i) + ";" + std::to_string(1000 - i) + "\n";
    const auto table = ParseHighscoreTable(text);
    ASSERT_EQ(table.size(), 101u);
    EXPECT_EQ(table.front().name, "p0");
    EXPECT_EQ(table.back().name, "p100");
    EXPECT_EQ(table.back().score, 900);
    // Exactly 101 lines are all kept.
    std::string exact;
    for (int i = 0; i < 101; ++i) exact += "q;1\n";
    EXPECT_EQ(ParseHighscoreTable(exact).size(), 101u);
}

TEST(TableParser, BytesOfAnyValueAreHarmless) {
    const std::string text("n\0ame;3\n\xff\xfe;\x80\n", 13);
    const auto table = ParseHighscoreTable(text);
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].name, std::string("n\0ame", 5));
    EXPECT_EQ(table[0].score, 3);
    EXPECT_EQ(table[1].name, "\xff\xfe");
    EXPECT_EQ(table[1].score, 0);
}

// Scores read like the standard stream extraction they stand in for, a
// failed extraction (nothing readable, or out of 32-bit range) reading as 0.
TEST(ScoreField, ReadsLikeStreamExtraction) {
    // clang-format off
    const std::pair<std::string, int> cases[] = {
        {"1530", 1530}, {" \t\v\f\r-7", -7}, {"+15", 15}, {"007x", 7}, {"12\r", 12}, {"1e5", 1},
        {"12.5", 12}, {"-0", 0}, {"2147483647", INT_MAX}, {"-2147483648", INT_MIN}, {"2147483648", 0},
        {"-2147483649", 0}, {"4294967296", 0}, {"99999999999999999999", 0}, {"", 0}, {" ", 0}, {"-", 0},
        {"+-1", 0}, {" + 3", 0}, {"\t-\t3", 0}, {"x12", 0}};
    // clang-format on
    for (const auto& [field, value] : cases) {
        EXPECT_EQ(ReadScoreField(field), value) << '"' << field << '"';
        std::istringstream in(field);
        int extracted = 0;
        if (!(in >> extracted)) extracted = 0;
        EXPECT_EQ(extracted, value) << '"' << field << '"';
    }
}

TEST(ReceiveResponse, StopsKeepingChunksOnceTheLimitIsReached) {
    responseText.clear();
    std::string chunk(30000, 'a');
    // 30000, 60000, 90000 characters: each chunk is taken whole.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ReceiveResponse(chunk.data(), 1, chunk.size(), nullptr), chunk.size());
    EXPECT_EQ(responseText.size(), 90000u);
    // Still below the limit, so this chunk is taken whole and crosses it.
    std::string crossing(16384, 'b');
    EXPECT_EQ(ReceiveResponse(crossing.data(), 1, crossing.size(), nullptr), crossing.size());
    EXPECT_EQ(responseText.size(), 90000u + 16384u);
    EXPECT_EQ(responseText.back(), 'b');
    // Every later chunk is dropped, yet reported as handled.
    std::string later(500, 'c');
    EXPECT_EQ(ReceiveResponse(later.data(), 1, later.size(), nullptr), later.size());
    EXPECT_EQ(ReceiveResponse(later.data(), 4, 25, nullptr), 100u);
    EXPECT_EQ(responseText.size(), 90000u + 16384u);
    EXPECT_EQ(responseText.find('c'), std::string::npos);
}

TEST(ReceiveResponse, AChunkEndingExactlyAtTheLimitStopsTheNext) {
    responseText.clear();
    std::string chunk(50000, 'x');
    ReceiveResponse(chunk.data(), 1, chunk.size(), nullptr);
    ReceiveResponse(chunk.data(), 1, chunk.size(), nullptr);
    ASSERT_EQ(responseText.size(), MaxResponseLength);
    std::string next(10, 'y');
    EXPECT_EQ(ReceiveResponse(next.data(), 1, next.size(), nullptr), 10u);
    EXPECT_EQ(responseText.size(), MaxResponseLength);
    // Bytes are kept unchanged and in order.
    responseText.clear();
    const char bytes[] = {'a', '\0', '\n', '\xff'};
    ReceiveResponse(const_cast<char*>(bytes), 1, 4, nullptr);
    EXPECT_EQ(responseText, std::string(bytes, 4));
}
