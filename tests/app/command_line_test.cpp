#include <gtest/gtest.h>

#include "app/program.h"

namespace {

bool Fullscreen(const std::string& commandLine) { return ParseCommandLine(commandLine).fullscreen; }

}  // namespace

TEST(CommandLine, FullscreenUnlessTheWindowSwitchIsGiven) {
    EXPECT_TRUE(Fullscreen("./munchet"));
    EXPECT_FALSE(Fullscreen("./munchet /WINDOW"));
}

TEST(CommandLine, SwitchIsMatchedInAnyLetterCase) {
    EXPECT_FALSE(Fullscreen("./munchet /window"));
    EXPECT_FALSE(Fullscreen("./munchet /WiNdOw"));
}

TEST(CommandLine, TwoBlanksBeforeTheSwitchStillFindIt) {
    EXPECT_FALSE(Fullscreen("./munchet  /WINDOW"));
    EXPECT_FALSE(Fullscreen("./munchet /WINDOW "));
}

TEST(CommandLine, NearMissesHaveNoEffect) {
    EXPECT_TRUE(Fullscreen("./munchet /WINDOWS"));
    EXPECT_TRUE(Fullscreen("./munchet -WINDOW"));
    EXPECT_TRUE(Fullscreen("./munchet x\t/WINDOW"));
    EXPECT_TRUE(Fullscreen("./munchet \"/WINDOW\""));
    EXPECT_TRUE(Fullscreen("./munchet /WIN"));
}

TEST(CommandLine, ProgramPathWithBlanksSplitsButMatchesOnlyAWholePiece) {
    EXPECT_TRUE(Fullscreen("/home/my games/munchet"));
    EXPECT_TRUE(Fullscreen("/home/a/WINDOW/munchet"));
    EXPECT_FALSE(Fullscreen("/opt/odd /window dir/munchet"))
        << "a path piece that is itself the switch counts";
}
