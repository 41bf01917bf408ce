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

TEST(CommandLine, ScoreServerComesFromTheSwitchInAnyLetterCase) {
    EXPECT_FALSE(ParseCommandLine("munchet.exe /WINDOW").scoreServer.has_value());
    const CommandLineOptions options =
        ParseCommandLine("munchet.exe /server=Scores.Example.ORG:8080 /window");
    EXPECT_FALSE(options.fullscreen);
    EXPECT_EQ(options.scoreServer, "Scores.Example.ORG:8080");
    EXPECT_EQ(ParseCommandLine("munchet /SeRvEr=h").scoreServer, "h");
    // Given but empty: kept, so that start-up can say it is invalid.
    EXPECT_EQ(ParseCommandLine("munchet /SERVER=").scoreServer, "");
    EXPECT_FALSE(ParseCommandLine("munchet /SERVER").scoreServer.has_value());
}
