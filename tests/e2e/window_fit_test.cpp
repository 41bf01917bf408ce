// The real game in a window on virtual X screens of the sizes players have:
// the window fits the screen and shows the whole scene scaled and
// letterboxed, also once resized, and keeps its size for the next run; on a
// French keyboard the second player's keys sit where W A S D sit on a US
// one, and bindings that clash are named in the log and left out.
#include <gtest/gtest.h>

#include "tests/e2e/e2e_support.h"
#include "tests/e2e/window_player.h"
#include "tests/e2e/x_screen.h"
#include "tests/e2e/x_session.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// No score server listens here: no game is ended in these tests.
constexpr const char* NoServer = "127.0.0.1:9";

// Where the scene's pixel (x, y) shows in a window of the given size: the
// 1024 x 768 scene scaled to fit, centred between black bars.
ScreenPoint InWindow(float x, float y, int width, int height) {
    const float scale = std::min(static_cast<float>(width) / 1024, static_cast<float>(height) / 768);
    return {(static_cast<float>(width) - 1024 * scale) / 2 + x * scale,
            (static_cast<float>(height) - 768 * scale) / 2 + y * scale};
}

// The ghost left of the middle: player 2's in a two-player game.
std::optional<ScreenPoint> LeftGhost(Screenshot shot) {
    for (int y = 0; y < shot.height; ++y)
        std::fill_n(&shot.pixels[y * shot.width + shot.width / 2], shot.width / 2, 0);
    return FindGhost(shot, 20);
}

class WindowFit : public ::testing::Test {
protected:
    std::string xvfb, xdotool;
    ScratchDir work;
    e2e::VirtualDisplay display;
    std::optional<e2e::ChildProcess> game;
    std::optional<e2e::XdoTool> xdo;
    std::optional<XScreen> screen;
    std::optional<e2e::WindowPlayer> player;

    void SetUp() override {
        if (const std::string missing = e2e::WindowToolsMissing(xvfb, xdotool); !missing.empty())
            GTEST_SKIP() << missing;
        std::filesystem::create_directory_symlink(std::filesystem::path(MUNCHET_SOURCE_DIR) / "data",
                                                  work.path / "data");
    }

    std::filesystem::path SettingsFile() const { return work.path / "home/.config/munchet/settings"; }
    std::string GameOutput() const { return e2e::ReadText(work.File("game.err")); }

    void StartDisplay(const std::string& screenSize) {
        ASSERT_TRUE(display.Start(xvfb, work.File("xvfb.log"), screenSize + "x24"))
            << e2e::ReadText(work.File("xvfb.log"));
        xdo.emplace(e2e::XdoTool{xdotool, display.name, work.File("xdotool.out")});
        screen.emplace(display.name);
        ASSERT_TRUE(screen->Connected());
    }

    // Starts the game and waits for its window to show the ghost.
    void StartGame() {
        game.emplace(e2e::WindowGame(NoServer, work.path, display.name).Stdout(work.File("game.out")));
        bool seen = false;
        for (const auto until = Clock::now() + 20s; !seen && Clock::now() < until;
             std::this_thread::sleep_for(50ms)) {
            // Found again when it cannot be read: SDL may make the window
            // anew for its renderer just after it first appears.
            if (!player || !player->Look())
                player.emplace(*screen, *xdo, xdo->FindWindow("Munchet Fast Prototype", 5s));
            seen = player->Look() && FindGhost(player->shot, 8);
        }
        ASSERT_TRUE(seen) << "the ghost is not on screen\n"
                          << e2e::ReadText(SettingsFile().string()) << GameOutput();
    }

    // Holds a key for a moment and looks again.
    void Hold(const std::string& key) {
        player->keys.Set(key, true);
        std::this_thread::sleep_for(400ms);
        player->keys.Set(key, false);
        std::this_thread::sleep_for(100ms);
        ASSERT_TRUE(player->Look());
    }

    // Escape ends the game, which must exit cleanly.
    void Quit() {
        player->keys.Set("Escape", true);
        const std::optional<int> status = game->WaitFor(10s);
        // Let go of it on the display too, or the next game sees it held.
        player->keys.held.clear();
        xdo->Run({"keyup", "Escape"});
        ASSERT_TRUE(status) << "Escape did not end the program";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << GameOutput();
        game.reset();
        player.reset();
    }
};

struct ScreenCase {
    std::string size;   // the X screen
    int width, height;  // the window expected on it
};

void PrintTo(const ScreenCase& value, std::ostream* out) { *out << value.size; }

class WindowFitsScreen : public WindowFit, public ::testing::WithParamInterface<ScreenCase> {};

TEST_P(WindowFitsScreen, ShowsTheScaledSceneWhenOpenedAndResizedAndKeepsTheSize) {
    const ScreenCase c = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartDisplay(c.size));
    ASSERT_NO_FATAL_FAILURE(StartGame());
    const Screenshot& shot = player->shot;
    ASSERT_EQ(std::pair(shot.width, shot.height), std::pair(c.width, c.height));
    const ScreenPoint expected = InWindow(512, 192, shot.width, shot.height);
    std::optional<ScreenPoint> ghost = FindGhost(shot, 20);
    EXPECT_NEAR(ghost->x, expected.x, 6);
    EXPECT_NEAR(ghost->y, expected.y, 6);
    ASSERT_NO_FATAL_FAILURE(Hold("Down"));
    EXPECT_GT(FindGhost(shot, 20).value_or(*ghost).y, ghost->y + 15) << "Down did not move the ghost";

    // Made wide and low: bars left and right, the scene still whole.
    xdo->Run({"windowsize", std::to_string(player->window), "640", "300"});
    const ScreenPoint target = InWindow(512, 192, 640, 300);
    for (const auto until = Clock::now() + 5s;
         Clock::now() < until && !(player->Look() && shot.width == 640);)
        std::this_thread::sleep_for(50ms);
    // A few frames drawn at the new size.
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(player->Look());
    ASSERT_EQ(shot.width, 640);
    ghost = FindGhost(shot, 8);
    ASSERT_TRUE(ghost);
    EXPECT_NEAR(ghost->x, target.x, 6) << "the ghost is not where the scaled scene has it";
    const int bar = static_cast<int>(target.x - 512 * 300.0f / 768) - 2;
    int lit = 0;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < bar; ++x) lit += shot.At(x, y) != 0;
    EXPECT_EQ(lit, 0) << "the bars left of the scene are not black";

    ASSERT_NO_FATAL_FAILURE(Quit());
    EXPECT_NE(e2e::ReadText(SettingsFile().string()).find("window-size=640x300\n"), std::string::npos);
    // The kept size still fits: the next run opens with it.
    ASSERT_NO_FATAL_FAILURE(StartGame());
    EXPECT_EQ(std::pair(shot.width, shot.height), std::pair(640, 300));
    ASSERT_NO_FATAL_FAILURE(Quit());
}

INSTANTIATE_TEST_SUITE_P(Screens, WindowFitsScreen,
                         ::testing::Values(ScreenCase{"1366x768", 1024, 768},
                                           ScreenCase{"800x600", 800, 600}),
                         [](const auto& info) { return "Screen" + info.param.size; });

TEST_F(WindowFit, FrenchKeyboardMovesTheSecondPlayerByPositionAndClashingBindingsAreLogged) {
    const std::string setxkbmap = e2e::FindOnPath("setxkbmap");
    if (setxkbmap.empty()) GTEST_SKIP() << "needs setxkbmap (Debian: x11-xkb-utils, xkb-data)";
    std::filesystem::create_directories(SettingsFile().parent_path());
    {
        std::ofstream settings(SettingsFile());
        settings << "player2-focus=Escape\nplayer1-up=W\n";
    }
    ASSERT_NO_FATAL_FAILURE(StartDisplay("1024x768"));
    ASSERT_EQ(e2e::RunCommand(e2e::SpawnOptions({setxkbmap, "-display", display.name, "fr"})), 0)
        << "no French layout (Debian: xkb-data)";
    ASSERT_NO_FATAL_FAILURE(StartGame());
    Hold("F2");
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(player->Look());
    const std::optional<ScreenPoint> start = LeftGhost(player->shot);
    ASSERT_TRUE(start) << "no second player on the left";
    // "q" and "z" are printed where A and W sit on a US keyboard.
    ASSERT_NO_FATAL_FAILURE(Hold("q"));
    const std::optional<ScreenPoint> left = LeftGhost(player->shot);
    ASSERT_TRUE(left);
    EXPECT_LT(left->x, start->x - 15) << "the key in A's place did not move player 2 left";
    ASSERT_NO_FATAL_FAILURE(Hold("z"));
    const std::optional<ScreenPoint> up = LeftGhost(player->shot);
    ASSERT_TRUE(up);
    EXPECT_LT(up->y, left->y - 15) << "the key in W's place did not move player 2 up";

    ASSERT_NO_FATAL_FAILURE(Quit());
    const std::string log = e2e::ReadText(work.File("error.log"));
    EXPECT_NE(log.find("player2-focus=Escape: that key has a use of its own"), std::string::npos) << log;
    EXPECT_NE(log.find("player1-up=W: that key already plays as player2-up"), std::string::npos) << log;
}

}  // namespace
