// A ticket's text form: what the server writes the client reads back whole,
// and any other line is no ticket.
#include "common/game_ticket.h"

#include <gtest/gtest.h>

namespace {

GameTicket Sample() {
    GameTicket t{.id = 18446744073709551615ULL,
                 .issuedAt = 1'790'000'000,
                 .random = {0x0123456789abcdefULL, 0xfedcba9876543211ULL}};
    for (std::size_t i = 0; i < t.mac.size(); ++i) t.mac[i] = static_cast<std::uint8_t>(255 - i * 3);
    return t;
}

TEST(GameTicket, ReadsBackWhatWasWritten) {
    const std::string text = FormatTicket(Sample());
    EXPECT_EQ(ParseTicket(text), Sample());
    EXPECT_EQ(ParseTicket(text + "\n"), Sample());
    EXPECT_EQ(text.substr(0, 3), "T1 ");
}

class MalformedTicket : public ::testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(MalformedTicket, IsNoTicket) {
    std::string text = FormatTicket(Sample());
    const auto& [from, to] = GetParam();
    text.replace(text.find(from), from.size(), to);
    EXPECT_FALSE(ParseTicket(text).has_value()) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, MalformedTicket,
    ::testing::Values(std::pair{"T1", "T2"}, std::pair{"T1 ", "T1  "}, std::pair{"18446744073709551615", "0"},
                      std::pair{"18446744073709551615", "18446744073709551616"},
                      std::pair{"18446744073709551615", "+5"}, std::pair{"1790000000", "-1"},
                      std::pair{"1790000000", "-0"}, std::pair{"1790000000", "0017"},
                      std::pair{"0123456789abcdef", "0123456789ABCDEF"},
                      std::pair{"0123456789abcdef", "0123456789abcde"},
                      std::pair{"fedcba9876543211", "fedcba9876543210"}, std::pair{"fffc", "fffcx"},
                      std::pair{"fffc", "fff"}, std::pair{"fffc", "fffc 1"}, std::pair{"fffc", "fffc "}));

}  // namespace
