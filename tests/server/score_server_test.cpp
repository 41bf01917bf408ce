#include "server/http/score_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <mutex>
#include <thread>

#include "tests/server/score_server_fixture.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::string_view goodQuery = "name=ab%20c&score=30249&level=2&munchets=3&food=17";

// What depends on the store, run on each.
struct ScoreServerOnEachStore : ScoreServerTest, testing::WithParamInterface<StoreKind> {};

MUNCHET_ON_BOTH_STORES(ScoreServerOnEachStore);

TEST_P(ScoreServerOnEachStore, ServesSubmissionsAndTheTableOverHttp) {
    Start(Quick(), GetParam());
    const RawReply added = RawGet(port, AddTarget(goodQuery));
    EXPECT_EQ(added.status, 200);
    EXPECT_EQ(added.body, "OK\n");
    EXPECT_NE(added.headers.find("Content-Type: text/plain"), std::string::npos);

    const RawReply refused =
        RawGet(port, AddTarget("name=ab%20c&name=x&score=30249&level=2&munchets=3&food=17"));
    EXPECT_EQ(refused.status, 400);
    EXPECT_EQ(refused.body, "duplicate key: name\n");

    const RawReply view = RawGet(port, viewTarget);
    EXPECT_EQ(view.status, 200);
    EXPECT_EQ(view.body, "ab c;30249\n");
    EXPECT_NE(view.headers.find("Content-Type: text/plain"), std::string::npos);

    EXPECT_EQ(RawGet(port, "/index.html").status, 404);
    EXPECT_EQ(RawGet(port, "/hosted/vlkn/scores/pr/add.php?" + std::string(goodQuery) + "?x").status, 400);

    // Another method on a known path is not served either.
    LoopbackSocket post(port);
    ASSERT_TRUE(
        post.Send("POST /hosted/vlkn/scores/pr/add.php HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\n"
                  "Connection: close\r\n\r\nabc"));
    EXPECT_EQ(ParseRawReply(post.ReadAll(5s)).status, 404);
    LoopbackSocket head(port);
    ASSERT_TRUE(
        head.Send("HEAD " + AddTarget(goodQuery) + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"));
    EXPECT_EQ(ParseRawReply(head.ReadAll(5s)).status, 404);
    EXPECT_EQ(db->RowCount(), 1);
}

TEST_F(ScoreServerTest, LogsOneLinePerRequest) {
    Start(Quick());
    RawGet(port, AddTarget(goodQuery));
    RawGet(port, "/missing?name=secret");
    const std::vector<std::string> log = LogWith("/missing");
    ASSERT_EQ(log.size(), 2u);
    EXPECT_NE(log[0].find(" 127.0.0.1 GET /hosted/vlkn/scores/pr/add.php 200 "), std::string::npos) << log[0];
    EXPECT_TRUE(log[0].ends_with("ms")) << log[0];
    EXPECT_NE(log[1].find(" 127.0.0.1 GET /missing 404 "), std::string::npos) << log[1];
    EXPECT_EQ(log[1].find("secret"), std::string::npos);
}

TEST_F(ScoreServerTest, LimitsSubmissionsByForwardedAddressOnlyWhenTrusted) {
    ScoreServerConfig config = Quick();
    config.rateLimit = 2;
    config.trustProxy = true;
    Start(std::move(config));
    const std::string viaA = "X-Forwarded-For: 6.6.6.6, 198.51.100.1\r\n";
    EXPECT_EQ(RawGet(port, AddTarget(goodQuery), viaA).status, 200);
    EXPECT_EQ(RawGet(port, AddTarget(goodQuery), viaA).status, 200);
    EXPECT_EQ(RawGet(port, AddTarget(goodQuery), viaA).status, 429);
    EXPECT_EQ(RawGet(port, AddTarget(goodQuery), "X-Forwarded-For: 198.51.100.2\r\n").status, 200);
    // Of several headers the last counts; what is not an address counts as the peer.
    EXPECT_EQ(RawGet(port, AddTarget(goodQuery), "X-Forwarded-For: 198.51.100.1\r\nX-Forwarded-For: ::1\r\n")
                  .status,
              200);
    EXPECT_EQ(RawGet(port, AddTarget(goodQuery), "X-Forwarded-For: 198.51.100.2, bogus\r\n").status, 200);
    EXPECT_EQ(db->RowCount(), 5);
    const std::vector<std::string> log = LogWith(" 127.0.0.1 GET ");
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& l) {
        return l.find(" 198.51.100.2 GET ") != std::string::npos;
    }));
}

TEST_F(ScoreServerTest, IgnoresForwardedAddressesByDefault) {
    ScoreServerConfig config = Quick();
    config.rateLimit = 2;
    Start(std::move(config));
    EXPECT_EQ(RawGet(port, AddTarget(goodQuery), "X-Forwarded-For: 198.51.100.1\r\n").status, 200);
    EXPECT_EQ(RawGet(port, AddTarget(goodQuery), "X-Forwarded-For: 198.51.100.2\r\n").status, 200);
    EXPECT_EQ(RawGet(port, AddTarget(goodQuery), "X-Forwarded-For: 198.51.100.3\r\n").status, 429);
}

TEST_P(ScoreServerOnEachStore, ManyClientsAtOnceLoseNothing) {
    Start(Quick(), GetParam());
    constexpr int clients = 8;
    constexpr int addsPerClient = 25;
    std::atomic<int> failures{0};
    std::atomic<int> badTables{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            for (int i = 0; i < addsPerClient; ++i) {
                // Level 0, no food: score 100 x munchets, all different.
                const int munchets = c * addsPerClient + i + 1;
                const std::string query = "name=c" + std::to_string(c) +
                                          "&score=" + std::to_string(100 * munchets) +
                                          "&level=0&munchets=" + std::to_string(munchets) + "&food=0";
                if (RawGet(port, AddTarget(query)).status != 200) ++failures;
                const RawReply view = RawGet(port, viewTarget);
                if (view.status != 200) ++failures;
                // Every table read mid-flight is whole and in order.
                long previous = LONG_MAX;
                for (const std::string& line : Lines(view.body)) {
                    const std::size_t semicolon = line.find(';');
                    const long score =
                        semicolon == std::string::npos ? -1 : std::stol(line.substr(semicolon + 1));
                    if (score <= 0 || score > previous) ++badTables;
                    previous = score;
                }
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(badTables, 0);
    EXPECT_EQ(db->RowCount(), clients * addsPerClient);

    const std::vector<std::string> table = Lines(RawGet(port, viewTarget).body);
    ASSERT_EQ(table.size(), 100u);
    const int best = clients * addsPerClient;
    EXPECT_EQ(table.front(), "c" + std::to_string(clients - 1) + ";" + std::to_string(100 * best));
    const int hundredth = best - 99;
    EXPECT_EQ(table.back(),
              "c" + std::to_string((hundredth - 1) / addsPerClient) + ";" + std::to_string(100 * hundredth));
}

TEST_F(ScoreServerTest, KeptAliveConnectionServesSeveralRequests) {
    Start(Quick());
    LoopbackSocket socket(port);
    const std::string request = "GET " + std::string(viewTarget) + " HTTP/1.1\r\nHost: x\r\n\r\n";
    ASSERT_TRUE(socket.Send(request + request + request));
    const std::string replies = socket.ReadAll(1500ms);
    std::size_t count = 0;
    for (std::size_t at = replies.find("HTTP/1.1 200"); at != std::string::npos;
         at = replies.find("HTTP/1.1 200", at + 1)) {
        ++count;
    }
    EXPECT_EQ(count, 3u);
}

TEST_F(ScoreServerTest, SlowClientsDoNotHoldUpOthers) {
    ScoreServerConfig config = Quick();
    config.threads = 1;
    Start(std::move(config));

    // Half a request, then silence: on the one thread there is, everyone else is served meanwhile.
    LoopbackSocket half(port);
    ASSERT_TRUE(half.Send("GET /hosted/vlkn/scores/pr/view.php HTTP/1.1\r\nHost: x\r\n"));
    std::this_thread::sleep_for(50ms);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(RawGet(port, AddTarget(goodQuery)).status, 200);
    bool closed = false;
    half.ReadAll(0ms, &closed);
    EXPECT_FALSE(closed) << "the others were served while the slow request was still pending";
    const std::string rest = half.ReadAll(3s, &closed);
    EXPECT_TRUE(closed) << "the slow request is cut off";
    EXPECT_TRUE(rest.empty() || ParseRawReply(rest).status == 400) << rest;
    EXPECT_EQ(db->RowCount(), 5);
}

TEST_F(ScoreServerTest, TricklingOrSilentClientIsCutOffAtTheDeadline) {
    Start(Quick());
    LoopbackSocket silent(port);
    LoopbackSocket trickle(port);
    const auto start = Clock::now();
    const std::string request =
        "GET /hosted/vlkn/scores/pr/view.php HTTP/1.1\r\nHost: x\r\nX-Pad: " + std::string(200, 'a') +
        "\r\n\r\n";
    bool trickleClosed = false;
    // One byte every 20 ms would take 5 s; the server must not wait for it.
    for (std::size_t i = 0; i < request.size() && !trickleClosed; ++i) {
        if (!trickle.Send(request.substr(i, 1))) break;
        trickle.ReadAll(20ms, &trickleClosed);
    }
    const auto elapsed = Clock::now() - start;
    EXPECT_TRUE(trickleClosed);
    EXPECT_LT(elapsed, 3s);
    bool silentClosed = false;
    silent.ReadAll(3s, &silentClosed);
    EXPECT_TRUE(silentClosed);
    const std::vector<std::string> log = LogWith("timed out");
    EXPECT_TRUE(
        std::any_of(log.begin(), log.end(), [](const std::string& l) { return l.ends_with("timed out"); }));
}

TEST_F(ScoreServerTest, RequestsAreBoundedInSize) {
    ScoreServerConfig config = Quick();
    config.maxRequestBytes = 4096;
    Start(std::move(config));
    const auto headersOf = [](std::size_t bytes) {
        std::string headers;
        for (int i = 0; headers.size() < bytes; ++i)
            headers += "X-Filler-" + std::to_string(i) + ": " + std::string(40, 'f') + "\r\n";
        return headers;
    };
    EXPECT_EQ(RawGet(port, viewTarget, headersOf(3800)).status, 200);
    for (const std::size_t bytes : {4200u, 9000u, 30000u}) {
        const RawReply many = RawGet(port, viewTarget, headersOf(bytes));
        EXPECT_TRUE(many.status == 431 || many.status == 414) << bytes << ": " << many.status;
        const RawReply longTarget = RawGet(port, std::string(viewTarget) + "?" + std::string(bytes, 'q'));
        EXPECT_TRUE(longTarget.status == 431 || longTarget.status == 414)
            << bytes << ": " << longTarget.status;
    }
    // The server is still fine afterwards.
    EXPECT_EQ(RawGet(port, viewTarget).status, 200);
}

TEST_F(ScoreServerTest, MalformedRequestLineClosesTheConnection) {
    Start(Quick());
    for (const std::string_view line : {"GARBAGE", "GET", "GET /a HTTP/9.9"}) {
        LoopbackSocket socket(port);
        // Whatever follows a broken line must not be read as more requests.
        ASSERT_TRUE(socket.Send(std::string(line) + "\r\nHost: x\r\n\r\nGET " + std::string(viewTarget) +
                                " HTTP/1.1\r\nHost: x\r\n\r\n"));
        bool closed = false;
        const std::string reply = socket.ReadAll(2s, &closed);
        EXPECT_TRUE(closed) << line;
        EXPECT_EQ(reply.find(" 200 "), std::string::npos) << line << ": " << reply;
    }
}

TEST_F(ScoreServerTest, IgnoresRangeAndRequiresHostOnHttp11) {
    Start(Quick());
    ASSERT_EQ(RawGet(port, AddTarget(goodQuery)).status, 200);
    // Many tiny ranges in 7 KB: a server that honoured them would send a huge multipart reply.
    std::string ranges = "Range: bytes=0-0";
    for (int i = 1; ranges.size() < 7000; ++i)
        ranges += "," + std::to_string(i % 10) + "-" + std::to_string(i % 10);
    const RawReply ranged = RawGet(port, viewTarget, ranges + "\r\n");
    EXPECT_EQ(ranged.status, 200);
    EXPECT_EQ(ranged.body, "ab c;30249\n");
    EXPECT_EQ(ranged.headers.find("Content-Range"), std::string::npos);

    for (const auto& [version, status] : {std::pair{"HTTP/1.1", 400}, std::pair{"HTTP/1.0", 200}}) {
        LoopbackSocket socket(port);
        ASSERT_TRUE(socket.Send("GET " + std::string(viewTarget) + " " + version + "\r\n\r\n"));
        bool closed = false;
        const RawReply reply = ParseRawReply(socket.ReadAll(2s, &closed));
        EXPECT_EQ(reply.status, status) << version;
        EXPECT_TRUE(closed) << version;
    }
}

TEST_F(ScoreServerTest, TurnsAwayConnectionsPastTheBoundsAtOnce) {
    ScoreServerConfig config = Quick();
    config.ioTimeout = 30s;
    config.idleTimeout = 30s;
    config.maxConnections = 6;
    config.maxConnectionsPerClient = 2;
    Start(std::move(config));
    std::vector<std::unique_ptr<LoopbackSocket>> held;
    const auto openFrom = [&](int host) {
        held.push_back(std::make_unique<LoopbackSocket>(port, host));
        bool closed = false;
        held.back()->ReadAll(300ms, &closed);
        return !closed;
    };
    EXPECT_TRUE(openFrom(2));
    EXPECT_TRUE(openFrom(2));
    const auto start = Clock::now();
    EXPECT_FALSE(openFrom(2)) << "a third from one address is closed";
    EXPECT_LT(Clock::now() - start, 2s);
    for (int host = 3; host <= 6; ++host) EXPECT_TRUE(openFrom(host));
    EXPECT_FALSE(openFrom(7)) << "a seventh in all is closed";
    // Those already in are served as before.
    ASSERT_TRUE(held[0]->Send("GET " + std::string(viewTarget) + " HTTP/1.1\r\nHost: x\r\n\r\n"));
    EXPECT_NE(held[0]->ReadAll(1s).find("HTTP/1.1 200"), std::string::npos);
    const std::vector<std::string> log = LogWith("refused");
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& l) {
        return l.starts_with("refused ") &&
               l.find("over the bounds of 6 open, 2 per address") != std::string::npos;
    }));
}

TEST_F(ScoreServerTest, StopsPromptlyWithIdleConnectionsOpen) {
    ScoreServerConfig config = Quick();
    config.idleTimeout = 30s;
    config.ioTimeout = 30s;
    Start(std::move(config));
    LoopbackSocket idle(port);
    LoopbackSocket kept(port);
    ASSERT_TRUE(kept.Send("GET " + std::string(viewTarget) + " HTTP/1.1\r\nHost: x\r\n\r\n"));
    ASSERT_NE(kept.ReadAll(300ms).find("HTTP/1.1 200"), std::string::npos);
    const auto start = Clock::now();
    server->Stop();
    EXPECT_LT(Clock::now() - start, 5s);
    EXPECT_FALSE(server->Running());
    EXPECT_EQ(LoopbackSocket(port).fd, -1) << "nothing listens any more";
}

TEST_F(ScoreServerTest, RefusesAPortInUse) {
    Start(Quick());
    ScoreServer second(*store, Quick());
    std::string error;
    EXPECT_EQ(second.Start("127.0.0.1", port, &error), -1);
    EXPECT_NE(error.find("in use"), std::string::npos) << error;
    EXPECT_FALSE(second.Running());
}

}  // namespace
