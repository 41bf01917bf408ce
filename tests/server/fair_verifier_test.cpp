// The verifier shared fairly, on the real munchet-scores: an address that
// sends games slow to play holds up its own replays, not another's, and once
// it has spent its CPU time it is turned away while others are served; a
// replay body has time to arrive in proportion to its size.
#include <gtest/gtest.h>

#include <functional>
#include <future>

#include "tests/replay/replay_support.h"
#include "tests/server/heavy_replay.h"
#include "tests/server/server_test_support.h"
#include "tests/server/ticketed_game.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A replay, on its way to the server.
struct Sent {
    std::string target, body;
};

class FairVerifierTest : public testing::Test {
protected:
    ScratchDir dir;
    std::unique_ptr<ServerProcess> server;

    void SetUp() override {
        const std::string portFile = dir.File("port");
        server = std::make_unique<ServerProcess>(
            MUNCHET_SCORES_BINARY,
            std::vector<std::string>{"--listen", "127.0.0.1:0", "--db", dir.File("scores.db"), "--port-file",
                                     portFile, "--rate-limit", "0", "--verify-cpu-ms", VerifierCpuMs(300),
                                     "--verify-client-cpu-ms", VerifierCpuMs(500), "--timeout", "1",
                                     "--min-upload-rate", "1024"},
            dir.File("stderr.log"));
        ASSERT_TRUE(server->WaitForPort(portFile)) << ReadFile(dir.File("stderr.log"));
    }

    Sent OnTicket(const std::function<Replay(const RandomState&)>& record) {
        const Replay replay = TicketedGame(server->port, record, [this](const std::string& sql) {
            return ExecuteOutside(dir.File("scores.db"), sql.c_str());
        });
        return {ReplayQuery(replay.summary), WriteReplay(replay)};
    }

    Sent HonestGame() {
        return OnTicket([](const RandomState& random) {
            return Record({.name = "honest", .seed = 4242, .start = Start::AtStartUp, .random = random})
                .replay;
        });
    }

    RawReply Send(int sourceHost, const Sent& sent, Clock::duration spread = {}) {
        return PostFrom(server->port, sourceHost, sent.target, sent.body, spread);
    }
};

TEST_F(FairVerifierTest, HeavyReplaysHoldUpOnlyTheirOwnAddressUntilItIsTurnedAway) {
    const Sent flooding = OnTicket([](const RandomState&) { return HeavyReplay(MaxReplayFrames / 8); });
    const std::string &heavy = flooding.body, &heavyTarget = flooding.target;
    const Sent first = HonestGame(), second = HonestGame(), third = HonestGame();
    const auto alone = Clock::now();
    ASSERT_EQ(Send(3, first).body, "VERIFIED\n");
    const Clock::duration ownCost = Clock::now() - alone;

    // Two at once from one address: as many as it may have waiting.
    std::vector<std::future<RawReply>> flood;
    for (int i = 0; i < 2; ++i)
        flood.push_back(
            std::async(std::launch::async, [&] { return PostFrom(server->port, 2, heavyTarget, heavy); }));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(PostFrom(server->port, 2, heavyTarget, heavy).status, 429) << "a third while two wait";
    const auto sent = Clock::now();
    EXPECT_EQ(Send(4, second).body, "VERIFIED\n");
    // Its turns alternate with one other address's: about twice its own
    // time, with room for a busy machine; not the heavy replays' whole time.
    EXPECT_LT(Clock::now() - sent, 3 * ownCost + 1s) << "another address waited on the heavy replays";

    for (auto& reply : flood) EXPECT_EQ(reply.get().status, 400);
    // Each took at least 300 ms of CPU, or the game ended, which takes
    // longer: together more than its 500 ms a minute. Turned away.
    const RawReply over = PostFrom(server->port, 2, heavyTarget, heavy);
    EXPECT_EQ(over.status, 429);
    EXPECT_NE(over.body.find("verifying time"), std::string::npos) << over.body;
    EXPECT_EQ(Send(5, third).body, "VERIFIED\n");
}

// The body of a replay is sent over a share of the time its size gives it:
// --timeout, and a second for each --min-upload-rate bytes.
struct SlowUpload {
    const char* name;
    double shareOfItsTime;
    bool answered;
};

void PrintTo(const SlowUpload& u, std::ostream* os) { *os << u.name; }

class SlowUploadTest : public FairVerifierTest, public testing::WithParamInterface<SlowUpload> {};

TEST_P(SlowUploadTest, IsCutOffOnlyBelowTheMinimumRate) {
    const Sent honest = HonestGame();
    const std::size_t bytes = honest.body.size();
    ASSERT_GT(bytes, 1024u) << "the body must take longer than the headers' deadline";
    const auto itsTime = std::chrono::duration<double>(1.0 + static_cast<double>(bytes) / 1024.0);
    const RawReply reply =
        Send(6, honest, std::chrono::duration_cast<Clock::duration>(itsTime * GetParam().shareOfItsTime));
    if (GetParam().answered) {
        EXPECT_EQ(reply.body, "VERIFIED\n");
    } else {
        EXPECT_EQ(reply.status, 0) << reply.body;
    }
}

INSTANTIATE_TEST_SUITE_P(, SlowUploadTest,
                         testing::Values(SlowUpload{"aboveTheMinimumRate", 0.6, true},
                                         SlowUpload{"belowIt", 1.4, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
