// The real munchet-scores under the attacks that took the thread-per-connection
// server down: hundreds of idle connections, hundreds trickling a request a
// byte a second and dozens of kept-alive ones. A normal client, one request
// per connection as the game makes them, must still be served promptly.
#include <gtest/gtest.h>

#include "server/http/listen_socket.h"
#include "tests/server/attack_crowd.h"
#include "tests/server/server_test_support.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(Attack, LeavesANormalClientServed) {
    RaiseOpenFileLimit();
    ScratchDir dir;
    const std::string portFile = dir.File("port");
    const std::string log = dir.File("stderr.log");
    ServerProcess server(MUNCHET_SCORES_BINARY,
                         {"--listen", "127.0.0.1:0", "--db", dir.File("scores.db"), "--port-file", portFile,
                          "--rate-limit", "0", "--timeout", "3"},
                         log);
    ASSERT_TRUE(server.WaitForPort(portFile)) << ReadFile(log);

    // 40 addresses of 21 connections each stay under the per-address bound:
    // all of them are let in, as a crowd of many hosts would be.
    AttackCrowd crowd(server.port, {.idle = 600, .trickling = 200, .keptAlive = 50, .addresses = 40});
    const auto connectedBy = Clock::now() + 10s;
    while (crowd.Connected() < 850 && Clock::now() < connectedBy) std::this_thread::sleep_for(10ms);
    ASSERT_EQ(crowd.Connected(), 850);

    // Long enough for the idle and trickling ones to be cut off and come back.
    int failures = 0;
    Clock::duration slowest{};
    const auto end = Clock::now() + 8s;
    for (int i = 1; Clock::now() < end; ++i) {
        const auto start = Clock::now();
        const std::string query = "name=normal&score=" + std::to_string(100 * i) +
                                  "&level=0&munchets=" + std::to_string(i) + "&food=0";
        if (RawGet(server.port, AddTarget(query)).status != 200) ++failures;
        const RawReply view = RawGet(server.port, viewTarget);
        if (view.status != 200 ||
            view.body.find("normal;" + std::to_string(100 * i) + "\n") == std::string::npos)
            ++failures;
        slowest = std::max(slowest, Clock::now() - start);
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_EQ(failures, 0);
    EXPECT_LT(slowest, 3s);
    EXPECT_GT(crowd.KeptAliveReplies(), 50) << "kept-alive clients are served as well";
    EXPECT_NE(ReadFile(log).find("requests timed out"), std::string::npos);

    ASSERT_EQ(kill(server.pid, SIGTERM), 0);
    const int status = server.Wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
