// The verifier shared fairly, on the real munchet-scores: an address that
// sends games slow to play holds up its own replays, not another's, and once
// it has spent its CPU time it is turned away while others are served; a
// replay body has time to arrive in proportion to its size.
#include <gtest/gtest.h>

#include <functional>
#include <future>

#include "replay/replay_verifier.h"
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
        std::vector<std::string> options{"--listen",
                                         "127.0.0.1:0",
                                         "--db",
                                         dir.File("scores.db"),
                                         "--port-file",
                                         portFile,
                                         "--rate-limit",
                                         "0",
                                         "--verify-cpu-ms",
                                         VerifierCpuMs(300),
                                         "--verify-client-cpu-ms",
                                         VerifierCpuMs(500),
                                         "--timeout",
                                         "1",
                                         "--min-upload-rate",
                                         "1024"};
        options.insert(options.end(), moreOptions.begin(), moreOptions.end());
        server = std::make_unique<ServerProcess>(MUNCHET_SCORES_BINARY, options, dir.File("stderr.log"));
        ASSERT_TRUE(server->WaitForPort(portFile)) << ReadFile(dir.File("stderr.log"));
    }

    std::vector<std::string> moreOptions;

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

    // A flood on a ticket whose game lasts at least the server's CPU time for
    // one replay: the level's own munchet reaches the player standing still
    // sooner from some starts than from others, and a game that ends early
    // costs too little to flood anything.
    Sent LastingHeavyGame() {
        VerifyOptions aslong;
        aslong.cpuBudget = std::chrono::milliseconds(std::stoi(VerifierCpuMs(300)));
        for (int ticket = 0; ticket < 20; ++ticket) {
            Replay heavy;
            const Sent sent = OnTicket([&](const RandomState& random) {
                heavy = HeavyReplay(MaxReplayFrames / 8);
                heavy.summary.startRandom = random;
                return heavy;
            });
            if (VerifyReplay(heavy, aslong).verdict == ReplayVerdict::Stopped) return sent;
        }
        ADD_FAILURE() << "no ticket gave a game that lasts";
        return {};
    }

    RawReply Send(int sourceHost, const Sent& sent, Clock::duration spread = {}) {
        return PostFrom(server->port, sourceHost, sent.target, sent.body, spread);
    }
};

TEST_F(FairVerifierTest, HeavyReplaysHoldUpOnlyTheirOwnAddressUntilItIsTurnedAway) {
    const Sent flooding = LastingHeavyGame();
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

class VerifierPoolTest : public FairVerifierTest {
protected:
    VerifierPoolTest() { moreOptions = {"--verify-threads", "2", "--verify-client-cpu-ms", "0"}; }
};

TEST_F(VerifierPoolTest, ReplaysSentTogetherAreEachProvenIntoOneRow) {
    constexpr int games = 6;
    std::vector<Sent> sent;
    for (int i = 0; i < games; ++i) sent.push_back(HonestGame());
    std::vector<std::future<RawReply>> replies;
    for (int i = 0; i < games; ++i)
        replies.push_back(std::async(std::launch::async, [&, i] { return Send(10 + i, sent[i]); }));
    for (auto& reply : replies) EXPECT_EQ(reply.get().body, "VERIFIED\n");
    // Rows, verified rows, replays.
    const std::string each = std::to_string(games);
    EXPECT_EQ(QueryOutside(dir.File("scores.db"),
                           "SELECT (SELECT count(*) FROM scores) || ' ' || (SELECT "
                           "sum(verified) FROM scores) || ' ' || (SELECT count(*) FROM replays)"),
              std::vector<std::string>{each + " " + each + " " + each});
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
