// The real game in a window whose score server stalls as a game ends: the
// window goes on drawing while the exchange waits, and Escape quits at once,
// the score kept in the player's outbox for the next exchange.
#include <gtest/gtest.h>

#include "scores/outbox_format.h"
#include "tests/e2e/e2e_support.h"
#include "tests/e2e/window_player.h"
#include "tests/scores/local_http_server.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(WindowStalledServer, EscapeQuitsAtOnceAndTheScoreWaitsInTheOutbox) {
    std::string xvfb, xdotool;
    if (const std::string missing = e2e::WindowToolsMissing(xvfb, xdotool); !missing.empty())
        GTEST_SKIP() << missing;

    // A server whose connection queue is full: every handshake waits.
    UnansweredPort stalled;
    ASSERT_NE(stalled.port(), 0);
    e2e::WindowSession session;
    ASSERT_EQ(session.Open(xvfb, xdotool, "127.0.0.1:" + std::to_string(stalled.port())), "");
    e2e::WindowPlayer& player = *session.player;
    e2e::ChildProcess& game = session.game;

    Screenshot start;
    for (const auto until = Clock::now() + 10s; !FindGhost(start) && Clock::now() < until;
         std::this_thread::sleep_for(50ms))
        if (player.Look()) start = player.shot;
    ASSERT_TRUE(FindGhost(start)) << "the ghost is not on screen";
    const e2e::WindowPlayer::Sending sending =
        player.PlayUntilAScoreIsSent("Stalled", start, 150s, [&] { return game.Running(); });
    ASSERT_TRUE(sending.sent) << "no game with points in " << sending.games << " games\n" << session.Log();

    // The exchange waits for the server; the window still draws, and says so.
    bool asking = false;
    for (const auto until = Clock::now() + 1s; !asking && Clock::now() < until;)
        asking =
            player.Look() && player.TableShown() && CountWhitePixels(player.shot, 312, 174, 712, 194) > 100;
    ASSERT_TRUE(asking) << "no table screen asking the score server\n" << session.Log();

    player.keys.Set("Escape", true);
    const auto escaped = Clock::now();
    const std::optional<int> status = game.WaitFor(10s);
    const double quitAfter = std::chrono::duration<double>(Clock::now() - escaped).count();
    player.keys.held.clear();
    ASSERT_TRUE(status) << "Escape did not end the program";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0)
        << e2e::ReadText(session.work.File("game.err"));
    // A sanitized build takes longer to shut the window and its drivers down,
    // though still well short of the second an unanswered connection takes.
    EXPECT_LT(quitAfter, MUNCHET_SLOW_BUILD_FACTOR > 1 ? 0.8 : 0.5) << session.Log();
    std::printf("the game quit %.3f s after Escape, in the middle of its exchange\n", quitAfter);

    const OutboxReading kept =
        ParseOutbox(e2e::ReadText(session.work.path / "home/.local/share/munchet/score-outbox.txt"));
    ASSERT_EQ(kept.entries.size(), 1u) << session.Log();
    EXPECT_EQ(kept.entries[0].submission.name, "Stalled");
    EXPECT_NE(session.Log().find("given up unanswered: the game is quitting"), std::string::npos)
        << session.Log();
}

}  // namespace
