// Numbers read from untrusted text, and the one rule for a player's name.
#include "common/read_number.h"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

#include "common/player_name.h"

namespace {

TEST(ReadDecimalPrefix, ReadsASignedNumberUpToTheFirstOtherCharacter) {
    const struct {
        std::string_view text;
        std::optional<std::int32_t> value;
        std::size_t used;
    } cases[] = {
        {"12abc", 12, 2},
        {"-7", -7, 2},
        {"+42;", 42, 3},
        {"007", 7, 3},
        {"2147483647", 2147483647, 10},
        {"-2147483648", -2147483647 - 1, 11},
        {"2147483648", std::nullopt, 0},
        {"-2147483649", std::nullopt, 0},
        {"99999999999999999999", std::nullopt, 0},
        {"", std::nullopt, 0},
        {"-", std::nullopt, 0},
        {"+-5", std::nullopt, 0},
        {"-+5", std::nullopt, 0},
        {" 5", std::nullopt, 0},
        {"x5", std::nullopt, 0},
    };
    for (const auto& c : cases) {
        std::size_t used = 0;
        EXPECT_EQ(ReadDecimalPrefix(c.text, &used), c.value) << c.text;
        if (c.value) {
            EXPECT_EQ(used, c.used) << c.text;
        }
    }
}

TEST(ReadHexPrefix, ReadsDigitsOfEitherCaseUpToTheLimit) {
    const struct {
        std::string_view text;
        std::optional<std::uint32_t> value;
    } cases[] = {
        {"41,", 0x41},        {"fF", 0xFF},       {"0x41", 0},         {"100", std::nullopt},
        {"-1", std::nullopt}, {"", std::nullopt}, {"g", std::nullopt}, {"FFFFFFFFFFFF", std::nullopt}};
    for (const auto& c : cases) EXPECT_EQ(ReadHexPrefix(c.text, 255), c.value) << c.text;
}

TEST(ReadDecimal, TakesOnlyDigitsFromEndToEnd) {
    EXPECT_EQ(ReadDecimal("8642", 65535), 8642u);
    EXPECT_EQ(ReadDecimal("65535", 65535), 65535u);
    for (std::string_view bad : {"65536", "", "+1", "-1", "1 ", "8x", "99999999999"})
        EXPECT_EQ(ReadDecimal(bad, 65535), std::nullopt) << bad;
}

TEST(PlayerName, AllowsPrintableAsciiButTheTablesSeparatorAndAngleBrackets) {
    int allowed = 0;
    for (int c = -128; c < 256; ++c) allowed += IsPlayerNameCharacter(c);
    EXPECT_EQ(allowed, 95 - 3);
    for (int c : {' ', '~', 'a', '%', '"'}) EXPECT_TRUE(IsPlayerNameCharacter(c)) << c;
    for (int c : {int{';'}, int{'<'}, int{'>'}, 31, 127, int{'\n'}, int{static_cast<char>(0xC3)}})
        EXPECT_FALSE(IsPlayerNameCharacter(c)) << c;
}

}  // namespace
