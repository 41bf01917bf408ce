// The name and music volume kept between runs: the file's text, the keeper
// that reads and writes it, and the program that starts with what it keeps.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/program.h"
#include "app/settings_format.h"
#include "app/settings_keeper.h"
#include "engine/headless.h"
#include "game/game.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/scratch_dir.h"

extern Game game;

// Named in test output by what they hold (found by argument lookup, so here).
void PrintTo(const KeptSettings& value, std::ostream* out) {
    *out << "name " << (value.playerName ? "'" + *value.playerName + "'" : "none") << ", volume "
         << (value.musicVolume ? std::to_string(*value.musicVolume) : "none");
}

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void Write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

class SettingsRoundTrip : public ::testing::TestWithParam<KeptSettings> {};

TEST_P(SettingsRoundTrip, ReadsBackWhatWasWritten) {
    const SettingsReading reading = ParseSettings(FormatSettings(GetParam()));
    EXPECT_EQ(reading.settings, GetParam());
    EXPECT_TRUE(reading.problems.empty()) << reading.problems.front();
}

INSTANTIATE_TEST_SUITE_P(
    Values, SettingsRoundTrip,
    ::testing::Values(KeptSettings{"Ada", 80}, KeptSettings{"", 0}, KeptSettings{std::nullopt, std::nullopt},
                      // Blanks at either end, '=' and '#' are part of a name.
                      KeptSettings{" x=y #20 characters ", 100}, KeptSettings{std::nullopt, 40},
                      KeptSettings{"~!", std::nullopt},
                      KeptSettings{"Ada", 80, {800, 600, true, true}, {{"player2-up", "Keypad 8"}}},
                      KeptSettings{std::nullopt, std::nullopt, {0, 0, false, true}, {}}));

struct Damaged {
    const char* name;
    std::string text;
    KeptSettings usable;  // what is still taken from it
    int problems;
};

void PrintTo(const Damaged& value, std::ostream* out) { *out << value.name; }

class DamagedSettings : public ::testing::TestWithParam<Damaged> {};

TEST_P(DamagedSettings, KeepsTheUsableLinesAndReportsTheOthers) {
    const Damaged& c = GetParam();
    const SettingsReading reading = ParseSettings(c.text);
    EXPECT_EQ(reading.settings, c.usable);
    ASSERT_EQ(static_cast<int>(reading.problems.size()), c.problems);
    for (const std::string& problem : reading.problems)
        for (const char ch : problem) EXPECT_TRUE(ch >= 32 && ch <= 126) << "unprintable in: " << problem;
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, DamagedSettings,
    ::testing::Values(
        Damaged{"WindowsLineEndsAndNoFinalOne", "music-volume=20\r\nname=Al", {"Al", 20}, 0},
        Damaged{"VolumeOffTheSteps", "name=Bob\nmusic-volume=55\n", {"Bob", std::nullopt}, 1},
        Damaged{"VolumeAboveAHundred", "music-volume=120\n", {}, 1},
        Damaged{"VolumeNegative", "music-volume=-20\n", {}, 1},
        Damaged{"VolumeWithBlank", "music-volume= 80\n", {}, 1},
        Damaged{"VolumeHuge", "music-volume=99999999999999999999\n", {}, 1},
        Damaged{"NameWithForbiddenCharacter", "name=a;b\nname=c\n", {"c", std::nullopt}, 1},
        Damaged{"NameTooLong", "name=" + std::string(21, 'n') + "\n", {}, 1},
        Damaged{"NameNotAscii", "name=J\xC3\xB6rg\n", {}, 1},
        Damaged{"KeyTwiceKeepsTheFirst", "name=A\nname=B\nmusic-volume=0\nmusic-volume=100\n", {"A", 0}, 2},
        Damaged{"NoEquals", "volume\n# note\n\nname=Z\n", {"Z", std::nullopt}, 1},
        Damaged{"UnknownKeyOfBinary", "\0\xff\x1b[2J=1\nmusic-volume=60\n"s, {std::nullopt, 60}, 1},
        Damaged{"WindowShapes",
                "window-size=800*600\nwindow-size=0x600\nwindow-size=99999x600\nwindow-maximised=maybe\n"
                "window-scaling=zoom\nwindow-size=640x480\nwindow-size=800x600\n",
                {std::nullopt, std::nullopt, {640, 480, false, false}, {}},
                6},
        Damaged{"KeyShapes",
                "player3-up=W\nplayer2-up=\nplayer2-up=" + std::string(MaxKeyNameLength + 1, 'k') +
                    "\nplayer2-up=I\nplayer2-up=K\nplayer1-focus=Right Ctrl\n",
                {std::nullopt, std::nullopt, {}, {{"player2-up", "I"}, {"player1-focus", "Right Ctrl"}}},
                4},
        Damaged{"TooLongIsNotRead", "name=Q\n" + std::string(MaxSettingsFileBytes, '#'), {}, 1}),
    [](const ::testing::TestParamInfo<Damaged>& info) { return std::string(info.param.name); });

// A scratch config folder for one test; the real home is never touched.
class Keeper : public ::testing::Test {
protected:
    void SetUp() override {
        environment.Set("XDG_CONFIG_HOME", scratch.File("config").c_str());
        environment.Set("HOME", scratch.File("home").c_str());
    }
    SettingsKeeper Make() {
        return SettingsKeeper::ForPlayer([this](const std::string& line) { logged.push_back(line); });
    }
    fs::path File() const { return scratch.path / "config/munchet/settings"; }

    ScratchDir scratch;
    ScopedEnvironment environment;
    std::vector<std::string> logged;
};

TEST_F(Keeper, WritesOnlyChangesAndTheNextRunReadsThem) {
    SettingsKeeper first = Make();
    EXPECT_EQ(first.Load(), KeptSettings{});
    first.Start("", 60);
    first.Keep("", 60);
    EXPECT_FALSE(fs::exists(File())) << "nothing changed, nothing written";
    first.Keep("Ada", 80);
    EXPECT_EQ(Make().Load(), (KeptSettings{"Ada", 80}));
    EXPECT_EQ(fs::status(File()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_FALSE(fs::exists(File().string() + ".tmp"));
    EXPECT_TRUE(logged.empty()) << logged.front();
}

TEST_F(Keeper, ABrokenFileIsLoggedAndLeftUntilTheSettingsChange) {
    fs::create_directories(File().parent_path());
    const std::string broken = "name=Bo\nmusic-volume=loud\n";
    Write(File(), broken);
    SettingsKeeper keeper = Make();
    EXPECT_EQ(keeper.Load(), (KeptSettings{"Bo", std::nullopt}));
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_NE(logged[0].find("line 2"), std::string::npos) << logged[0];
    keeper.Start("Bo", 60);
    keeper.Keep("Bo", 60);
    EXPECT_EQ(Read(File()), broken);
    keeper.Keep("Bo", 20);
    EXPECT_EQ(ParseSettings(Read(File())).settings, (KeptSettings{"Bo", 20}));
}

TEST_F(Keeper, WithoutAConfigFolderTheSettingsLastOneRun) {
    environment.Set("XDG_CONFIG_HOME", nullptr);
    environment.Set("HOME", nullptr);
    SettingsKeeper keeper = Make();
    EXPECT_TRUE(keeper.path().empty());
    EXPECT_EQ(keeper.Load(), KeptSettings{});
    keeper.Start("", 60);
    keeper.Keep("Ada", 0);
    ASSERT_EQ(logged.size(), 1u) << "one line says why, no more";
    EXPECT_NE(logged[0].find("nowhere"), std::string::npos) << logged[0];
}

TEST_F(Keeper, AFileThatCannotBeReadOrWrittenIsLoggedOnceAChange) {
    fs::create_directories(File());  // a folder where the file should be
    SettingsKeeper keeper = Make();
    EXPECT_EQ(keeper.Load(), KeptSettings{});
    EXPECT_EQ(logged.size(), 1u);
    keeper.Start("", 60);
    for (int frame = 0; frame < 3; ++frame) keeper.Keep("Ada", 60);
    EXPECT_EQ(logged.size(), 2u) << "a failed write is not tried again every frame";
    EXPECT_TRUE(fs::is_directory(File()));
}

// The program itself, headless, from a working directory laid out as the
// source tree is: it starts with what is kept and keeps what changes.
TEST_F(Keeper, TheGameStartsWithTheKeptSettingsAndKeepsTheVolumeChosen) {
    const fs::path previous = fs::current_path();
    fs::create_directories(scratch.path / "work/data");
    fs::current_path(scratch.path / "work");
    fs::create_directories(File().parent_path());
    Write(File(), "name=Kept\nmusic-volume=100\nwindow-size=800x600\nplayer2-up=I\n");

    Engine* engine = hgeCreate(EngineVersion);
    engine->Headless_Enable({});
    engine->Headless_QueueFrame(FrameInput{}.Press('M'));
    engine->Headless_QueueFrame(FrameInput{}.Hold(Key::Escape));
    game.playerName.clear();
    const int status = RunProgram("./munchet");
    engine->Release();
    fs::current_path(previous);

    EXPECT_EQ(status, 0);
    EXPECT_EQ(game.playerName, "Kept");
    // M goes on from the kept volume, 100, to 0 (from the first start's 60 it
    // would go to 80), and the change is kept.
    EXPECT_EQ(game.musicVolume, 0);
    // The window and the keys, which the headless run never changed, stay.
    EXPECT_EQ(ParseSettings(Read(File())).settings,
              (KeptSettings{"Kept", 0, {800, 600, false, false}, {{"player2-up", "I"}}}));
}

}  // namespace
