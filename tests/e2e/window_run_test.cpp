// One run of the real munchet executable in a real window on a virtual X
// display (Xvfb), talking to the real score server on loopback: the window
// opens, the arrow keys move the ghost, a game ends and the table is fetched
// and drawn, and Escape ends the program with exit code 0 and its log file.
#include <gtest/gtest.h>

#include "replay/replay_verifier.h"
#include "tests/e2e/e2e_support.h"
#include "tests/e2e/window_player.h"
#include "tests/e2e/x_screen.h"
#include "tests/e2e/x_session.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(WindowRun, RealGameOpensPlaysShowsTheTableAndQuitsOnEscape) {
    std::string xvfb, xdotool;
    if (const std::string missing = e2e::WindowToolsMissing(xvfb, xdotool); !missing.empty())
        GTEST_SKIP() << missing;

    e2e::ScoreServer server;
    ASSERT_TRUE(server.Start()) << server.Log();
    for (int k = 1; k <= 3; ++k)
        ASSERT_EQ(e2e::Submit(server.port, {"Window " + std::to_string(k), e2e::ScoreFor(0, k, 0), 0, k, 0}),
                  200);

    ScratchDir work;
    std::filesystem::create_directory_symlink(std::filesystem::path(MUNCHET_SOURCE_DIR) / "data",
                                              work.path / "data");
    e2e::VirtualDisplay display;
    ASSERT_TRUE(display.Start(xvfb, work.File("xvfb.log"))) << e2e::ReadText(work.File("xvfb.log"));

    e2e::ChildProcess game(
        e2e::WindowGame(server.Host(), work.path, display.name).Stdout(work.File("game.out")));
    const auto gameOutput = [&] { return e2e::ReadText(work.File("game.err")); };

    const e2e::XdoTool xdo{xdotool, display.name, work.File("xdotool.out")};
    const unsigned long windowId = xdo.FindWindow("Munchet Fast Prototype", 20s);
    ASSERT_NE(windowId, 0u) << "no game window appeared\n" << gameOutput();
    ASSERT_TRUE(game.Running()) << gameOutput();

    XScreen screen(display.name);
    ASSERT_TRUE(screen.Connected());
    e2e::WindowPlayer player(screen, xdo, windowId);
    const Screenshot& shot = player.shot;
    // The first frames may not be drawn yet when the window maps.
    std::optional<ScreenPoint> start;
    for (const auto until = Clock::now() + 10s; !start && Clock::now() < until;
         std::this_thread::sleep_for(50ms))
        if (player.Look()) start = FindGhost(shot);
    ASSERT_TRUE(start) << "the ghost is not on screen";
    // The ghost starts at the middle of the upper half.
    EXPECT_NEAR(start->x, 512, 8);
    EXPECT_NEAR(start->y, 192, 8);

    e2e::HeldKeys& keys = player.keys;
    keys.Set("Down", true);
    std::this_thread::sleep_for(500ms);
    keys.Set("Down", false);
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(player.Look());
    const std::optional<ScreenPoint> moved = FindGhost(shot);
    ASSERT_TRUE(moved);
    EXPECT_GT(moved->y, start->y + 30) << "Down did not move the ghost";
    EXPECT_NEAR(moved->x, start->x, 8);
    // Where the table's rows will stand there is no text during play.
    const int textBefore = CountWhitePixels(shot, 282, 204, 782, 294);

    // Play: run at the nearest munchet until it catches the (charged) ghost.
    // With no points the table is fetched at once; should food have reached
    // the goal, the name prompt shows instead, and a name is typed.
    const auto playStart = Clock::now();
    auto lastTyped = playStart;
    while (server.Requests(e2e::viewPath) == 0 && Clock::now() < playStart + 40s && game.Running()) {
        if (!player.Look()) break;
        player.Chase();
        if (player.PromptShown() && Clock::now() > lastTyped + 5s && Clock::now() > playStart + 4s) {
            player.SendName("e2e");
            lastTyped = Clock::now();
        }
        std::this_thread::sleep_for(20ms);
    }
    keys.ReleaseAll();
    const double playSeconds = std::chrono::duration<double>(Clock::now() - playStart).count();
    ASSERT_TRUE(game.Running()) << gameOutput();
    ASSERT_EQ(server.Requests(e2e::viewPath), 1)
        << "no game ended within " << playSeconds << " s of chasing the munchets\n"
        << server.Log();
    // Only a game with points sends a row, and then under the typed name.
    for (const e2e::StoredRow& row : e2e::StoredRows(server.Database())) {
        if (!row.name.starts_with("Window ")) {
            EXPECT_EQ(row.name, "e2e");
        }
    }

    // The table's three rows are drawn where the play field was empty.
    int textAfter = 0;
    for (const auto until = Clock::now() + 5s; textAfter < 100 && Clock::now() < until;
         std::this_thread::sleep_for(50ms))
        if (player.Look()) textAfter = CountWhitePixels(shot, 282, 204, 782, 294);
    EXPECT_GE(textAfter, 100) << "no table rows drawn (white pixels during play: " << textBefore << ")";
    EXPECT_LT(textBefore, 20);

    // Escape is read as a held key: keep it down until the program ends.
    keys.Set("Escape", true);
    const std::optional<int> status = game.WaitFor(10s);
    keys.held.clear();
    ASSERT_TRUE(status) << "Escape did not end the program";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "wait status " << *status << "\n"
                                                                 << gameOutput();
    EXPECT_TRUE(std::filesystem::exists(work.path / "error.log"));
    // The game played in the window was kept, and plays again to its end.
    std::vector<std::filesystem::path> replays;
    for (const auto& entry :
         std::filesystem::directory_iterator(work.path / "home" / ".local/share" / "munchet" / "replays"))
        replays.push_back(entry.path());
    ASSERT_EQ(replays.size(), 1u);
    const ReplayReading reading = ReadReplay(e2e::ReadText(replays[0].string()));
    ASSERT_TRUE(reading.ok) << reading.error;
    const ReplayCheck check = VerifyReplay(reading.replay);
    EXPECT_EQ(check.verdict, ReplayVerdict::Proven) << check.reason;
    std::printf("game ended after %.1f s of play; text pixels where the rows stand: %d, then %d\n",
                playSeconds, textBefore, textAfter);
}

}  // namespace
