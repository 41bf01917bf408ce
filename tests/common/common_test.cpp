#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "common/clamp.h"
#include "common/play_panned.h"
#include "common/split_first.h"

TEST(SplitFirst, TakesPiecesBetweenDelimitersInOrder) {
    std::string source = "a b  c";
    std::string out;
    ASSERT_TRUE(SplitFirst(source, " ", out));
    EXPECT_EQ(out, "a");
    EXPECT_EQ(source, "b  c");
    ASSERT_TRUE(SplitFirst(source, " ", out));
    EXPECT_EQ(out, "b");
    ASSERT_TRUE(SplitFirst(source, " ", out));
    EXPECT_EQ(out, "") << "two blanks in a row give an empty piece";
    ASSERT_TRUE(SplitFirst(source, " ", out));
    EXPECT_EQ(out, "c") << "the last piece counts too";
    EXPECT_EQ(source, "");
    EXPECT_FALSE(SplitFirst(source, " ", out));
}

TEST(SplitFirst, EmptySourceYieldsFalseAndLeavesOutputAlone) {
    std::string source;
    std::string out = "kept";
    EXPECT_FALSE(SplitFirst(source, ";", out));
    EXPECT_EQ(out, "kept");
}

TEST(SplitFirst, TrailingDelimiterLeavesNothingBehind) {
    std::string source = "a;10\n";
    std::string out;
    ASSERT_TRUE(SplitFirst(source, "\n", out));
    EXPECT_EQ(out, "a;10");
    EXPECT_TRUE(source.empty()) << "a final delimiter adds no further piece";
}

TEST(SplitFirst, MultiCharacterAndMissingDelimiters) {
    std::string source = "left<>right<>";
    std::string out;
    ASSERT_TRUE(SplitFirst(source, "<>", out));
    EXPECT_EQ(out, "left");
    EXPECT_EQ(source, "right<>");

    std::string whole = "no delimiter here";
    ASSERT_TRUE(SplitFirst(whole, ";", out));
    EXPECT_EQ(out, "no delimiter here");
    EXPECT_TRUE(whole.empty());

    std::string anything = "x";
    ASSERT_TRUE(SplitFirst(anything, "", out));
    EXPECT_EQ(out, "x") << "an empty delimiter never matches";
}

TEST(ClampTo, RaisesThenLowers) {
    float value = -5;
    clampTo(value, -1, 1);
    EXPECT_EQ(value, -1);
    value = 7;
    clampTo(value, -1, 1);
    EXPECT_EQ(value, 1);
    value = 0.25f;
    clampTo(value, -1, 1);
    EXPECT_EQ(value, 0.25f);
    value = 0;
    clampTo(value, 2, 1);
    EXPECT_EQ(value, 1) << "with low above high the high bound wins, as the order of the tests says";
}

TEST(PanForX, ScalesTheFieldToFullPanAndTruncates) {
    EXPECT_EQ(panForX(-600), -100);
    EXPECT_EQ(panForX(600), 100);
    EXPECT_EQ(panForX(-512), -100);
    EXPECT_EQ(panForX(512), 100);
    EXPECT_EQ(panForX(100), 19) << "19.53 truncated";
    EXPECT_EQ(panForX(-100), -19) << "truncated toward zero, not down";
    EXPECT_EQ(panForX(0), 0);
    EXPECT_EQ(panForX(2.5f), 0);
    EXPECT_EQ(panForX(std::numeric_limits<float>::quiet_NaN()), 0) << "not a place: the middle";
    EXPECT_EQ(panForX(-std::numeric_limits<float>::infinity()), -100);
}
