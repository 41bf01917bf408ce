#include "scores/outbox_format.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string header = "munchet score outbox\n";

TEST(OutboxFormat, EntriesOfEveryVersionReadBackAsWritten) {
    OutboxEntry extremes;
    extremes.id = 9223372036854775807u;
    extremes.keptAt = 1700000000;
    extremes.submission = {"~ !%&=?'\"*", 2147483647, 0, 2147483647, -2147483647 - 1};
    OutboxEntry later;
    later.version = 2;
    later.id = 3;
    later.submission = {"ab c", 1530, 2, 3, 17};
    later.laterFields = "replay=game-3.rpl;more";
    const std::string text = FormatOutbox({extremes, later});
    EXPECT_EQ(text, header +
                        "1;9223372036854775807;1700000000;~ !%&=?'\"*;2147483647;0;2147483647;-2147483648\n" +
                        "2;3;0;ab c;1530;2;3;17;replay=game-3.rpl;more\n");
    const OutboxReading reading = ParseOutbox(text);
    EXPECT_EQ(reading.damage, "");
    EXPECT_EQ(reading.entries, (std::vector<OutboxEntry>{extremes, later}));
}

// Each line breaks one rule; the sound line after it is still read.
class BrokenOutboxLine : public ::testing::TestWithParam<const char*> {};

TEST_P(BrokenOutboxLine, IsDamageAndSkipped) {
    const std::string sound = "1;9;0;ok;5;0;0;0\n";
    const OutboxReading reading = ParseOutbox(header + "1;1;0;ok;5;0;0;0\n" + GetParam() + "\n" + sound);
    EXPECT_NE(reading.damage.find("line 3"), std::string::npos) << reading.damage;
    ASSERT_EQ(reading.entries.size(), 2u);
    EXPECT_EQ(reading.entries[1].id, 9u);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, BrokenOutboxLine,
    ::testing::Values("", "1;2;0;ab;5;0;0", "1;2;0;ab;5;0;0;0;extra", "0;2;0;ab;5;0;0;0", "x;2;0;ab;5;0;0;0",
                      "1;0;0;ab;5;0;0;0", "1;1;0;ab;5;0;0;0" /* repeated id */, "1;2;-1;ab;5;0;0;0",
                      "1;2;0;;5;0;0;0", "1;2;0;abcdefghijklmnopqrstu;5;0;0;0", "1;2;0;a<b;5;0;0;0",
                      "1;2;0;a\tb;5;0;0;0", "1;2;0;ab;0;0;0;0", "1;2;0;ab;2147483648;0;0;0",
                      "1;2;0;ab;05;0;0;0", "1;2;0;ab;+5;0;0;0", "1;2;0;ab; 5;0;0;0", "1;2;0;ab;5;-1;0;0",
                      "1;2;0;ab;5;0;-0;0", "1;2;0;ab;5;0;0;-2147483649",
                      "1;2;0;ab;5;0;0;99999999999999999999", "2;2;0;ab;5;0;0;0;bad\x01field"));

TEST(OutboxFormat, ABrokenFileKeepsItsSoundLines) {
    const std::string entry = "1;1;0;ab;5;0;0;0\n";
    EXPECT_EQ(ParseOutbox("").damage, "empty");
    EXPECT_EQ(ParseOutbox(entry).damage, "no header");
    EXPECT_EQ(ParseOutbox(entry).entries.size(), 1u);
    const OutboxReading cut = ParseOutbox(header + entry + "1;2;0;abc;5;0;0;0");
    EXPECT_EQ(cut.damage, "truncated in line 3");
    EXPECT_EQ(cut.entries.size(), 1u);
    std::string huge = header;
    for (int id = 1; huge.size() <= MaxOutboxFileBytes; ++id)
        huge += "1;" + std::to_string(id) + ";0;ab;5;0;0;0\n";
    EXPECT_NE(ParseOutbox(huge).damage.find("longer than"), std::string::npos);
}

}  // namespace
