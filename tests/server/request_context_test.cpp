#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

#include "server/http/request_log.h"
#include "server/store/client_address.h"

namespace {

TEST(ChooseClientAddress, TrustsOnlyTheLastForwardedEntryAndOnlyWhenAsked) {
    EXPECT_EQ(ChooseClientAddress("10.0.0.2", "203.0.113.9", false), "10.0.0.2");
    EXPECT_EQ(ChooseClientAddress("10.0.0.2", "", true), "10.0.0.2");
    EXPECT_EQ(ChooseClientAddress("10.0.0.2", "203.0.113.9", true), "203.0.113.9");
    // The client can write any entries before the one our proxy appends.
    EXPECT_EQ(ChooseClientAddress("10.0.0.2", "1.1.1.1, 198.51.100.7", true), "198.51.100.7");
    EXPECT_EQ(ChooseClientAddress("10.0.0.2", "1.1.1.1,2001:db8::5 ", true), "2001:db8::5");
    // What is not exactly one address falls back to the peer.
    for (const std::string_view bad : {"1.1.1.1, unknown", "1.1.1.1,", "1.2.3.4\n", "1.2.3", "1.2.3.4.5",
                                       "1.2.3.4:80", "[2001:db8::5]", "256.1.1.1", "1.2.3.4 5", "::1%lo"}) {
        EXPECT_EQ(ChooseClientAddress("10.0.0.2", bad, true), "10.0.0.2") << bad;
    }
    EXPECT_EQ(ChooseClientAddress("10.0.0.2", std::string(100, '1'), true), "10.0.0.2");
}

TEST(ClientAddress, OneClientHasOneSpelling) {
    // What the rate limit counts under must not depend on how it was written.
    EXPECT_EQ(CanonicalAddress("2001:DB8:0:0::5"), "2001:db8::5");
    EXPECT_EQ(CanonicalAddress("::ffff:198.51.100.7"), "198.51.100.7");
    EXPECT_EQ(CanonicalAddress("\t198.51.100.7 "), "198.51.100.7");

    sockaddr_in v4{};
    v4.sin_family = AF_INET;
    inet_pton(AF_INET, "203.0.113.9", &v4.sin_addr);
    EXPECT_EQ(FormatPeerAddress(reinterpret_cast<sockaddr*>(&v4)), "203.0.113.9");
    sockaddr_in6 v6{};
    v6.sin6_family = AF_INET6;
    inet_pton(AF_INET6, "::ffff:203.0.113.9", &v6.sin6_addr);
    EXPECT_EQ(FormatPeerAddress(reinterpret_cast<sockaddr*>(&v6)), "203.0.113.9");
    inet_pton(AF_INET6, "2001:db8::1", &v6.sin6_addr);
    EXPECT_EQ(FormatPeerAddress(reinterpret_cast<sockaddr*>(&v6)), "2001:db8::1");
    sockaddr other{};
    other.sa_family = AF_UNIX;
    EXPECT_EQ(FormatPeerAddress(&other), "");
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
