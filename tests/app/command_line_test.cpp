#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

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

TEST(CommandLine, OnlyArgumentsAfterTheProgramPathCanBeUnknown) {
    const std::string path = "/opt/my games/--odd dir/munchet";
    const CommandLineOptions options = ParseCommandLine(path + "  /WINDOW --bogus", path.size());
    EXPECT_FALSE(options.fullscreen);
    EXPECT_FALSE(options.help);
    EXPECT_EQ(options.unknown, std::vector<std::string>{"--bogus"});
    EXPECT_TRUE(ParseCommandLine("./munchet /server=127.0.0.1:1 /Window").unknown.empty());
}

namespace {

// One run of the program with a command line that ends before the engine
// starts: its exit code and what it printed where.
struct ShortRun {
    const char* name;
    const char* commandLine;
    int exitCode;
    const char* stdoutHas;  // "" when stdout must stay empty
    const char* stderrHas;  // "" when stderr must stay empty
};

// Named in test listings by its name, not by its bytes.
void PrintTo(const ShortRun& value, std::ostream* out) { *out << value.name; }

class CommandLineRun : public testing::TestWithParam<ShortRun> {};

TEST_P(CommandLineRun, PrintsWhereItShouldAndExitsWithItsCode) {
    const ShortRun& run = GetParam();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int exitCode = RunProgram(run.commandLine);
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(exitCode, run.exitCode);
    for (const auto& [text, has] : {std::pair{out, run.stdoutHas}, std::pair{err, run.stderrHas}}) {
        if (*has == '\0')
            EXPECT_EQ(text, "");
        else
            EXPECT_THAT(text, testing::HasSubstr(has));
    }
}

INSTANTIATE_TEST_SUITE_P(
    HelpVersionAndUnknown, CommandLineRun,
    testing::Values(
        ShortRun{"Help", "munchet --help", 0, "usage: munchet [/WINDOW]", ""},
        ShortRun{"SlashQuestionMark", "munchet /?", 0, "/SERVER=host[:port]", ""},
        ShortRun{"ShortHelpBesideASwitch", "munchet -h /WINDOW", 0, "usage: munchet", ""},
        ShortRun{"Version", "munchet --version", 0, "munchet (Munchet Fast Prototype) " MUNCHET_VERSION, ""},
        ShortRun{"DashedWindow", "munchet --window", 2, "", "unknown argument \"--window\"\nusage: munchet"},
        ShortRun{"SwitchWithMoreLetters", "munchet /WINDOWS", 2, "", "unknown argument \"/WINDOWS\""},
        ShortRun{"UnknownBeatsHelp", "munchet --help --bogus", 2, "", "unknown argument \"--bogus\""},
        ShortRun{"LongOptionsKeepTheirCase", "munchet --HELP", 2, "", "unknown argument \"--HELP\""},
        ShortRun{"ReplayPathWithBlanks", "munchet /REPLAY=/nowhere/My Games/g.replay /WINDOW", 1, "",
                 "munchet: /nowhere/My Games/g.replay does not exist"},
        ShortRun{"TerminalControlIsNotEchoed", "munchet \x1b[2J", 2, "", "unknown argument \"?[2J\""}),
    [](const testing::TestParamInfo<ShortRun>& info) { return std::string(info.param.name); });

}  // namespace
