// The real game started from a terminal on a machine without a sound card
// (CI's, or this container's) under Xvfb: the sound libraries' own lines
// stay off the terminal, and the game's one line about the missing sound
// device stays on it.
#include <gtest/gtest.h>

#include "tests/e2e/e2e_support.h"
#include "tests/e2e/window_player.h"
#include "tests/e2e/x_session.h"

namespace {

using namespace std::chrono_literals;

TEST(QuietTerminal, TheSoundLibrariesSayNothingOnStderr) {
    const std::string xvfb = e2e::FindOnPath("Xvfb"), xdotool = e2e::FindOnPath("xdotool");
    if (xvfb.empty() || xdotool.empty())
        GTEST_SKIP() << "needs Xvfb and xdotool on PATH (Debian: apt-get install xvfb xdotool)";
    ScratchDir work;
    std::filesystem::create_directory_symlink(std::filesystem::path(MUNCHET_SOURCE_DIR) / "data",
                                              work.path / "data");
    e2e::VirtualDisplay display;
    ASSERT_TRUE(display.Start(xvfb, work.File("xvfb.log"))) << e2e::ReadText(work.File("xvfb.log"));

    // Whatever sound the machine has, found the way a player's game finds it.
    e2e::ChildProcess game(e2e::WindowGame("127.0.0.1:1", work.path, display.name));
    const e2e::XdoTool xdo{xdotool, display.name, work.File("xdotool.out")};
    const unsigned long window = xdo.FindWindow("Munchet Fast Prototype", 20s);
    ASSERT_NE(window, 0u) << "no game window appeared\n" << e2e::ReadText(work.File("game.err"));
    xdo.Run({"keydown", "--window", std::to_string(window), "Escape"});
    const std::optional<int> status = game.WaitFor(10s);
    xdo.Run({"keyup", "--window", std::to_string(window), "Escape"});
    ASSERT_TRUE(status) << "Escape did not end the program";

    const std::string terminal = e2e::ReadText(work.File("game.err"));
    const std::string log = e2e::ReadText(work.File("error.log"));
    for (const char* noise : {"ALSA lib", "AL lib", "[ALSOFT]"})
        EXPECT_EQ(terminal.find(noise), std::string::npos) << noise << " on the terminal:\n" << terminal;
    const std::string ourLine = "No sound device found; the game runs without sound";
    if (log.find(ourLine) == std::string::npos) {
        std::printf("this machine has a sound device: there was nothing to hear\n");
        return;
    }
    EXPECT_NE(terminal.find(ourLine), std::string::npos) << terminal;
}

}  // namespace
