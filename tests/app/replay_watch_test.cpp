// munchet /REPLAY=FILE: a kept game plays again through the real program to
// its recorded end and holds still there until Escape; a file that is no
// replay of these rules is refused before any window opens.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "app/program.h"
#include "engine/engine_impl.h"
#include "game/rules_version.h"
#include "tests/replay/replay_support.h"

extern Game game;

namespace {

namespace fs = std::filesystem;

// The game the tests watch.
Recorded* recorded = nullptr;

class WatchReplay : public ::testing::Test {
protected:
    // Recorded before any test takes the engine.
    static void SetUpTestSuite() { recorded = new Recorded(Record({"watched", 606, Start::ByF2})); }
    static void TearDownTestSuite() { delete recorded; }

    void SetUp() override {
        previous = fs::current_path();
        dir = fs::temp_directory_path() / ("munchet-watch-" + std::to_string(::getpid()));
        fs::create_directories(dir / "data");
        fs::current_path(dir);
        engine = hgeCreate(EngineVersion);
        engine->Headless_Enable({});
    }
    void TearDown() override {
        engine->Release();
        fs::current_path(previous);
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return (dir / name).string();
    }
    std::string Log() const {
        std::ifstream file(dir / "error.log");
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

    fs::path previous, dir;
    Engine* engine = nullptr;
};

TEST_F(WatchReplay, PlaysTheGameToItsEndAndHoldsStillThereUntilEscape) {
    const Replay& replay = recorded->replay;
    const std::string path = Write("game.replay", WriteReplay(replay));
    // After the replay's frames: two frames of keys that would play on, then Escape.
    engine->Headless_QueueFrame(FrameInput{}.Hold(Key::F1).Hold(Key::Left));
    engine->Headless_QueueFrame(FrameInput{}.Hold(Key::Left));
    engine->Headless_QueueFrame(FrameInput{}.Hold(Key::Escape));
    EXPECT_EQ(RunProgram("./munchet /REPLAY=" + path), 0);
    EXPECT_TRUE(engine->impl->script.empty());
    EXPECT_EQ(engine->Journal_Get().frames, replay.frames.size() + 3);
    EXPECT_TRUE(game.gameOver);
    const ReplayCounters reached{game.score, game.level, game.munchets, game.food};
    EXPECT_EQ(reached, replay.summary.counters);
    EXPECT_EQ(HashState(game), recorded->hash) << "the game stood still after the replay's last frame";
    EXPECT_EQ(game.playerName, replay.summary.name);
    EXPECT_NE(Log().find("frames are over"), std::string::npos) << Log();
}

struct BadFile {
    const char* name;
    std::function<std::string(const std::string& good)> bytes;  // nullptr: no file at all
    const char* stderrHas;
};

void PrintTo(const BadFile& b, std::ostream* os) { *os << b.name; }

class BadReplayFile : public WatchReplay, public ::testing::WithParamInterface<BadFile> {};

TEST_P(BadReplayFile, IsRefusedWithExitCodeOneBeforeTheGameStarts) {
    const BadFile& bad = GetParam();
    std::string path = (dir / "missing.replay").string();
    if (bad.bytes) path = Write("bad.replay", bad.bytes(WriteReplay(recorded->replay)));
    testing::internal::CaptureStderr();
    const int exitCode = RunProgram("./munchet /replay=" + path);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(exitCode, 1);
    EXPECT_NE(err.find("munchet: " + path), std::string::npos) << err;
    EXPECT_NE(err.find(bad.stderrHas), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(dir / "error.log")) << "no engine was started";
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadReplayFile,
    ::testing::Values(
        BadFile{"truncated", [](const std::string& good) { return good.substr(0, good.size() / 2); },
                "cut short"},
        BadFile{"foreign", [](const std::string&) { return std::string("\x89PNG\r\n\x1a\n not a replay"); },
                "not a Munchet replay"},
        BadFile{"otherRules",
                [](const std::string&) {
                    Replay other = recorded->replay;
                    other.summary.rulesVersion = RulesVersion + 1;
                    return WriteReplay(other);
                },
                "rules of version"},
        BadFile{"missing", nullptr, "does not exist"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReplaySwitch, IsReadInAnyLetterCaseAndKeepsItsPathAsGiven) {
    EXPECT_EQ(ParseCommandLine("munchet /Replay=Games/Best.replay /WINDOW").replayFile, "Games/Best.replay");
    EXPECT_FALSE(ParseCommandLine("munchet /WINDOW").replayFile.has_value());
    EXPECT_TRUE(ParseCommandLine("munchet /REPLAY=x").unknown.empty());
    // The shell's words come joined by blanks: the path runs to the next switch.
    const CommandLineOptions blanks = ParseCommandLine("munchet /REPLAY=/home/me/My  Games/g.replay /window");
    EXPECT_EQ(blanks.replayFile, "/home/me/My  Games/g.replay");
    EXPECT_FALSE(blanks.fullscreen);
    EXPECT_TRUE(blanks.unknown.empty());
    EXPECT_EQ(ParseCommandLine("munchet /REPLAY=a b --version").replayFile, "a b");
    EXPECT_EQ(ParseCommandLine("munchet /REPLAY=a b ").replayFile, "a b ");
}

}  // namespace
