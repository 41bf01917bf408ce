#include <gtest/gtest.h>

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
