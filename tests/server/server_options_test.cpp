#include "server/server_options.h"

#include <gtest/gtest.h>

namespace {

TEST(ParseListenAddress, SplitsHostAndPort) {
    std::string host;
    int port = -1;
    ASSERT_TRUE(ParseListenAddress("127.0.0.1:8642", host, port));
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(port, 8642);
    ASSERT_TRUE(ParseListenAddress("[::1]:0", host, port));
    EXPECT_EQ(host, "::1");
    EXPECT_EQ(port, 0);
    ASSERT_TRUE(ParseListenAddress("scores.example.org:65535", host, port));
    EXPECT_EQ(host, "scores.example.org");
    EXPECT_EQ(port, 65535);

    for (const std::string_view bad : {"127.0.0.1", "127.0.0.1:", ":8642", "127.0.0.1:65536", "127.0.0.1:-1",
                                       "127.0.0.1:80x", "::1:8642", "[::1]8642", "[::1]", "[]:80", ""}) {
        EXPECT_FALSE(ParseListenAddress(bad, host, port)) << bad;
    }
}

TEST(ParseServerOptions, ReadsEveryOption) {
    ServerOptions options;
    std::string error;
    ASSERT_TRUE(ParseServerOptions(
        {"--listen", "0.0.0.0:80", "--db", "/var/lib/x.db", "--rate-limit", "0", "--trust-proxy", "--threads",
         "4", "--timeout", "9", "--port-file", "p", "--max-connections", "20000", "--max-per-client", "0",
         "--max-request-bytes", "1024"},
        options, error))
        << error;
    EXPECT_EQ(options.host, "0.0.0.0");
    EXPECT_EQ(options.port, 80);
    EXPECT_EQ(options.dbPath, "/var/lib/x.db");
    EXPECT_EQ(options.rateLimit, 0);
    EXPECT_TRUE(options.trustProxy);
    EXPECT_EQ(options.threads, 4);
    EXPECT_EQ(options.timeoutSeconds, 9);
    EXPECT_EQ(options.portFile, "p");
    EXPECT_EQ(options.maxConnections, 20000);
    EXPECT_EQ(options.maxPerClient, 0);
    EXPECT_EQ(options.maxRequestBytes, 1024);
    EXPECT_FALSE(options.help);

    ASSERT_TRUE(ParseServerOptions(
        {"--import-sqlite", "old.db", "--db", "postgres://u@db/scores", "--db-timeout", "2"}, options, error))
        << error;
    EXPECT_EQ(options.importSqlite, "old.db");
    EXPECT_EQ(options.dbTimeoutSeconds, 2);

    ASSERT_TRUE(
        ParseServerOptions({"--max-replay-bytes", "65536", "--max-replay-frames", "6000", "--verify-cpu-ms",
                            "2500", "--verify-queue", "2", "--verify-threads", "3", "--require-replay",
                            "--verify-client-cpu-ms", "0", "--min-upload-rate", "4096"},
                           options, error))
        << error;
    EXPECT_EQ(options.maxReplayBytes, 65536);
    EXPECT_EQ(options.maxReplayFrames, 6000);
    EXPECT_EQ(options.verifyCpuMs, 2500);
    EXPECT_EQ(options.verifyQueue, 2);
    EXPECT_EQ(options.verifyThreads, 3);
    EXPECT_TRUE(options.requireReplay);
    EXPECT_EQ(options.verifyClientCpuMs, 0);
    EXPECT_EQ(options.minUploadRate, 4096);

    ASSERT_TRUE(ParseServerOptions({"--help"}, options, error));
    EXPECT_TRUE(options.help);
}

TEST(ParseServerOptions, RefusesWhatItCannotUse) {
    const std::vector<std::vector<std::string_view>> bad = {
        {"--listen"},
        {"--listen", "nowhere"},
        {"--rate-limit", "-1"},
        {"--rate-limit", "ten"},
        {"--threads", "0"},
        {"--timeout", "0"},
        {"--db", ""},
        {"--verbose"},
        {"8642"},
        {"--max-connections", "0"},
        {"--max-per-client", "-1"},
        {"--max-request-bytes", "1023"},
        {"--db-timeout", "0"},
        {"--max-replay-bytes", "4095"},
        {"--max-replay-frames", "0"},
        {"--verify-cpu-ms", "99"},
        {"--verify-queue", "0"},
        {"--verify-threads", "0"},
        {"--verify-threads", "257"},
        {"--verify-client-cpu-ms", "-1"},
        {"--min-upload-rate", "63"},
        {"--import-sqlite", "old.db", "--db", "new.db"},  // imports go into PostgreSQL only
    };
    for (const auto& args : bad) {
        ServerOptions options;
        std::string error;
        EXPECT_FALSE(ParseServerOptions(args, options, error)) << args[0];
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
