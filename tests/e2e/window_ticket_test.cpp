// The real game in a window against the real score server: it fetches a game
// ticket off the frame, a game begun with it tells the server it began, and
// the game's row is verified. Against a server that deals no tickets there is
// nothing to test.
#include <gtest/gtest.h>

#include "replay/replay_file.h"
#include "tests/e2e/e2e_support.h"
#include "tests/e2e/window_player.h"
#include "tests/e2e/x_screen.h"
#include "tests/e2e/x_session.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::string_view ticketPath = "/hosted/vlkn/scores/pr/ticket.php";
constexpr std::string_view startPath = "/hosted/vlkn/scores/pr/start.php";

TEST(WindowTicket, AGameBegunWithATicketIsVerified) {
    std::string xvfb, xdotool;
    if (const std::string missing = e2e::WindowToolsMissing(xvfb, xdotool); !missing.empty())
        GTEST_SKIP() << missing;
    e2e::ScoreServer server;
    ASSERT_TRUE(server.Start()) << server.Log();
    if (RawGet(server.port, ticketPath).status == 404) GTEST_SKIP() << "this score server deals no tickets";

    e2e::WindowSession session;
    ASSERT_EQ(session.Open(xvfb, xdotool, server.Host()), "");
    e2e::WindowPlayer& player = *session.player;
    const auto log = [&] { return session.Log(); };

    // The first game began before any ticket came: once the game's own
    // fetch is answered, F1 begins one that has it.
    for (const auto until = Clock::now() + 10s; server.Requests(ticketPath) < 2 && Clock::now() < until;)
        std::this_thread::sleep_for(20ms);
    ASSERT_GE(server.Requests(ticketPath), 2) << server.Log() << log();
    std::this_thread::sleep_for(200ms);
    player.keys.Set("F1", true);
    std::this_thread::sleep_for(100ms);
    player.keys.Set("F1", false);
    ASSERT_GE(server.WaitForRequests(startPath, 1), 1) << server.Log() << log();

    Screenshot start;
    for (const auto until = Clock::now() + 10s; !FindGhost(start) && Clock::now() < until;
         std::this_thread::sleep_for(50ms))
        if (player.Look()) start = player.shot;
    const e2e::WindowPlayer::Sending sending =
        player.PlayUntilAScoreIsSent("Ticketed", start, 150s, [&] { return session.game.Running(); });
    ASSERT_TRUE(sending.sent) << "no game with points in " << sending.games << " games\n" << log();
    ASSERT_GE(server.WaitForRequests(e2e::viewPath, 1), 1) << server.Log();

    // The server plays the replay again after answering it.
    std::vector<e2e::StoredRow> verified;
    for (const auto until = Clock::now() + 20s; verified.empty() && Clock::now() < until;
         std::this_thread::sleep_for(50ms))
        verified = e2e::StoredRows(server.Database(), "verified = 1 AND name = 'Ticketed'");
    EXPECT_EQ(verified.size(), 1u) << server.Log() << log();

    // The game kept its replay too: it carries the ticket the server dealt.
    bool ticketed = false;
    for (const auto& entry :
         fs::directory_iterator(session.work.path / "home/.local/share/munchet/replays")) {
        const ReplaySummaryReading reading = ReadReplaySummary(e2e::ReadText(entry.path()));
        ticketed =
            ticketed || (reading.ok && reading.summary.name == "Ticketed" && reading.summary.ticket.Held());
    }
    EXPECT_TRUE(ticketed) << "no kept replay of the game sent carries a ticket";
    std::printf("a ticketed game was verified after %d games\n", sending.games);
}

}  // namespace
