#include <gtest/gtest.h>

#include "server/client_address.h"
#include "server/request_log.h"

namespace {

TEST(ChooseClientAddress, TrustsOnlyTheLastForwardedEntryAndOnlyWhenAsked) {
    EXPECT_EQ(ChooseClientAddress("10.0.0.2", "203.0.113.9", false), "10.0.0.2");
    EXPECT_EQ(ChooseClientAddress("10.0.0.2", "", true), "10.0.0.2");
    EXPECT_EQ(ChooseClientAddress("10.0.0.2", "203.0.113.9", true), "203.0.113.9");
    // The client can write any entries before the one our proxy appends.
    EXPECT_EQ(ChooseClientAddress("10.0.0.2", "1.1.1.1, 198.51.100.7", true), "198.51.100.7");
    EXPECT_EQ(ChooseClientAddress("10.0.0.2", "1.1.1.1,2001:db8::5 ", true), "2001:db8::5");
    // Garbage falls back to the peer.
    EXPECT_EQ(ChooseClientAddress("10.0.0.2", "1.1.1.1, unknown", true), "10.0.0.2");
    EXPECT_EQ(ChooseClientAddress("10.0.0.2", "1.1.1.1,", true), "10.0.0.2");
    EXPECT_EQ(ChooseClientAddress("10.0.0.2", "1.2.3.4\n", true), "10.0.0.2");
    EXPECT_EQ(ChooseClientAddress("10.0.0.2", std::string(100, '1'), true), "10.0.0.2");
}

TEST(FormatRequestLogLine, HoldsTimeClientPathStatusAndDuration) {
    const auto when = std::chrono::system_clock::time_point(std::chrono::milliseconds(1700000000123));
    EXPECT_EQ(FormatRequestLogLine(when, "203.0.113.9", "GET", "/hosted/vlkn/scores/pr/view.php", 200,
                                   std::chrono::microseconds(420)),
              "2023-11-14T22:13:20.123Z 203.0.113.9 GET /hosted/vlkn/scores/pr/view.php 200 0.42ms");
}

TEST(FormatRequestLogLine, KeepsHostileTextOnOneLineAndLeavesOutTheQuery) {
    const auto when = std::chrono::system_clock::time_point{};
    const std::string line = FormatRequestLogLine(when, "", "GET", "/a\nFAKE 200\\x?name=secret", 404,
                                                  std::chrono::nanoseconds(0));
    EXPECT_EQ(line, "1970-01-01T00:00:00.000Z - GET /a\\x0aFAKE\\x20200\\x5cx 404 0.00ms");

    const std::string longLine = FormatRequestLogLine(when, "1.2.3.4", "GET", "/" + std::string(5000, 'a'),
                                                      414, std::chrono::nanoseconds(0));
    EXPECT_LT(longLine.size(), 300u);
    EXPECT_NE(longLine.find("... 414"), std::string::npos);
}

}  // namespace
