// The real game in a window while its score server is down: a finished
// game's score is kept in the player's outbox, the table screen says so and
// the log says why; once the server is back, the next game's exchange
// delivers the kept score, exactly once.
#include <gtest/gtest.h>

#include "scores/outbox_format.h"
#include "tests/e2e/e2e_support.h"
#include "tests/e2e/window_player.h"
#include "tests/e2e/x_screen.h"
#include "tests/e2e/x_session.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(WindowOutbox, AScoreKeptWhileTheServerIsDownArrivesWithTheNextGame) {
    std::string xvfb, xdotool;
    if (const std::string missing = e2e::WindowToolsMissing(xvfb, xdotool); !missing.empty())
        GTEST_SKIP() << missing;

    // The server's address, with nothing listening there for now.
    e2e::ScoreServer server;
    ASSERT_TRUE(server.Start()) << server.Log();
    const int port = server.port;
    server.Stop();

    e2e::WindowSession session;
    ASSERT_EQ(session.Open(xvfb, xdotool, server.Host()), "");
    const fs::path outbox = session.work.path / "home/.local/share/munchet/score-outbox.txt";
    e2e::ChildProcess& game = session.game;
    e2e::WindowPlayer& player = *session.player;
    const auto log = [&] { return session.Log(); };

    // The score line of a game's start.
    Screenshot start;
    for (const auto until = Clock::now() + 10s; !FindGhost(start) && Clock::now() < until;
         std::this_thread::sleep_for(50ms))
        if (player.Look()) start = player.shot;
    ASSERT_TRUE(FindGhost(start)) << "the ghost is not on screen";

    // A game with points.
    const auto firstStart = Clock::now();
    const e2e::WindowPlayer::Sending sending =
        player.PlayUntilAScoreIsSent("Kept Once", start, 150s, [&] { return game.Running(); });
    const int games = sending.games;
    const double keptAfter = std::chrono::duration<double>(Clock::now() - firstStart).count();
    ASSERT_TRUE(sending.sent) << "no game with points in " << games << " games\n" << log();

    // The score waits in the player's data folder, as the game offered it.
    // The game says so in its log just after the file is in place.
    for (const auto until = Clock::now() + 10s;
         log().find("score outbox: kept") == std::string::npos && Clock::now() < until;)
        std::this_thread::sleep_for(20ms);
    const OutboxReading kept = ParseOutbox(e2e::ReadText(outbox));
    EXPECT_EQ(kept.damage, "");
    ASSERT_EQ(kept.entries.size(), 1u) << log();
    const ScoreSubmission& score = kept.entries[0].submission;
    EXPECT_EQ(score.name, "Kept Once");
    EXPECT_EQ(score.score, e2e::ScoreFor(score.level, score.munchets, score.food));
    // The log says which request failed, and that the score was kept.
    const std::string described = DescribeSubmission(score);
    EXPECT_EQ(Occurrences(log(), "score client: submission of this game (" + described + ") failed after "),
              1u)
        << log();
    EXPECT_EQ(Occurrences(log(), "score outbox: kept entry 1 (" + described + "); 1 waiting"), 1u) << log();

    // The table screen says both: no table, and the score kept. Its two lines
    // stand between the heading and the first row.
    int firstLine = 0, secondLine = 0;
    for (const auto until = Clock::now() + 5s; (firstLine < 100 || secondLine < 100) && Clock::now() < until;
         std::this_thread::sleep_for(50ms)) {
        if (!player.Look() || !player.TableShown()) continue;
        firstLine = CountWhitePixels(player.shot, 312, 159, 712, 176);
        secondLine = CountWhitePixels(player.shot, 312, 181, 712, 199);
    }
    EXPECT_GE(firstLine, 100) << "\"Highscores unavailable\" is not drawn above the note";
    EXPECT_GE(secondLine, 100) << "no note under \"Highscores unavailable\"";

    // The server is back; the next game ends however it ends, and its
    // exchange sends the kept score first.
    ASSERT_TRUE(server.Start(port)) << server.Log();
    player.Restart();
    const auto gameStart = Clock::now();
    bool ended = false;
    for (const auto until = Clock::now() + 60s; !ended && Clock::now() < until && game.Running();
         std::this_thread::sleep_for(20ms)) {
        if (!player.Look()) continue;
        const auto played = Clock::now() - gameStart;
        if (played > 1s && player.TableShown()) {
            ended = true;
        } else if (played > 4s && player.PromptShown()) {
            player.SendName("Next");
            ended = true;
        } else {
            player.Chase();
        }
    }
    player.keys.ReleaseAll();
    ASSERT_TRUE(ended) << "the second game did not end\n" << log();
    ASSERT_GE(server.WaitForRequests(e2e::viewPath, 1), 1) << server.Log();

    const e2e::StoredRow expected{score.name, score.score, score.level, score.munchets, score.food};
    int stored = 0;
    for (const e2e::StoredRow& row : e2e::StoredRows(server.Database())) stored += row == expected;
    EXPECT_EQ(stored, 1) << "the kept score must reach the server exactly once\n" << server.Log();
    // Its replay was kept beside it and followed it, and is stored with it;
    // unverified, as the server never heard a game begun offline begin.
    EXPECT_EQ(e2e::StoredRows(server.Database(),
                              "verified = 0 AND name = 'Kept Once' AND id IN (SELECT score_id FROM replays)"),
              std::vector<e2e::StoredRow>{expected})
        << server.Log();
    EXPECT_FALSE(fs::exists(outbox)) << e2e::ReadText(outbox);
    EXPECT_EQ(Occurrences(log(), "score outbox: sent entry 1 (" + described + ")"), 1u) << log();

    // With the table back and nothing kept, nothing stands under the heading.
    int notes = -1;
    for (const auto until = Clock::now() + 5s; notes != 0 && Clock::now() < until;
         std::this_thread::sleep_for(50ms))
        if (player.Look() && player.TableShown()) notes = CountWhitePixels(player.shot, 312, 159, 712, 199);
    EXPECT_EQ(notes, 0) << "a note under the heading after the score was delivered";

    player.keys.Set("Escape", true);
    const std::optional<int> status = game.WaitFor(10s);
    player.keys.held.clear();
    ASSERT_TRUE(status) << "Escape did not end the program";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0)
        << e2e::ReadText(session.work.File("game.err"));
    std::printf("a score kept after %.1f s and %d games was delivered by the next game\n", keptAfter, games);
}

}  // namespace
