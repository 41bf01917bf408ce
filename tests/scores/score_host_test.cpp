#include "scores/score_host.h"

#include <gtest/gtest.h>

#include <string>

TEST(ScoreServerHost, AcceptsNamesAddressesAndPorts) {
    for (const char* host :
         {"127.0.0.1:8642", "localhost", "scores.example.org:80", "my_host-2", "[::1]", "[::1]:8642",
          "[fe80::1:2]:65535", "h:1", "https://scores.example.org", "HTTPS://[::1]:8443"})
        EXPECT_TRUE(IsValidScoreServerHost(host)) << host;
}

TEST(ScoreServerHost, RefusesWhatWouldBendTheUrl) {
    for (const char* host :
         {"",       ":80",   "a b",    "host/path",  "host:80/x", "user@host",   "host?x",     "host#x",
          "ho%73t", "host:", "host:0", "host:65536", "host:8x",   "host:123456", "host:80:81", "[::1",
          "[]",     "[::g]", "[::1]x", "[::1]:",     "tab\there", "line\nfeed",  "h\xc3\xa9",  "http://host"})
        EXPECT_FALSE(IsValidScoreServerHost(host)) << host;
    for (const char* host :
         {"https://", "https://a b", "https://host/x", "ftp://host", "https://https://host"})
        EXPECT_FALSE(IsValidScoreServerHost(host)) << host;
    EXPECT_FALSE(IsValidScoreServerHost(std::string(254, 'a')));
    EXPECT_FALSE(IsValidScoreServerHost(std::string("a\0b", 3)));
}

TEST(ScoreServerHost, AnInvalidHostLeavesTheCurrentOne) {
    ASSERT_TRUE(SetScoreServerHost("example.org:9000"));
    EXPECT_FALSE(SetScoreServerHost("evil.org/x?"));
    EXPECT_EQ(ScoreServerHost(), "example.org:9000");
    ASSERT_TRUE(SetScoreServerHost(MUNCHET_SCORE_SERVER));
    EXPECT_EQ(ScoreServerHost(), MUNCHET_SCORE_SERVER);
}

TEST(ScoreServerHost, PlainHostsMeanHttpAndTheSchemeIsKeptInLowerCase) {
    EXPECT_EQ(ScoreServerOrigin("127.0.0.1:8642"), "http://127.0.0.1:8642");
    EXPECT_EQ(ScoreServerOrigin("HTTPS://Scores.example.org"), "https://Scores.example.org");
    EXPECT_FALSE(IsHttpsScoreServer("[::1]:443"));
}
