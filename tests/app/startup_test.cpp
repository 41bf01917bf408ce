// The program from start to end through the headless engine: the exit code,
// the log file, and the loop that Escape ends.
#include <gtest/gtest.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "app/program.h"
#include "common/game_ticket.h"
#include "engine/engine_impl.h"
#include "engine/headless.h"
#include "game/game.h"
#include "tests/support/scoped_environment.h"

// The program's one game (app/program.cpp).
extern Game game;

namespace {

// Runs each test in a fresh working directory laid out as the source tree is,
// with a data/ folder (empty: no resource loads), so the program writes
// "error.log" there, and with a home of its own there for whatever the
// program keeps in the player's folders; and sets up the engine the program
// will pick up, in headless mode.
class Startup : public ::testing::Test {
protected:
    void SetUp() override {
        previous = std::filesystem::current_path();
        dir = std::filesystem::temp_directory_path() / ("munchet-startup-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir / "data");
        std::filesystem::current_path(dir);
        const std::pair<const char*, const char*> homeFolders[] = {{"HOME", ""},
                                                                   {"XDG_DATA_HOME", ".local/share"},
                                                                   {"XDG_STATE_HOME", ".local/state"},
                                                                   {"XDG_CONFIG_HOME", ".config"}};
        for (const auto& [name, folder] : homeFolders) environment.Set(name, (dir / "home" / folder).c_str());
        engine = hgeCreate(EngineVersion);
    }
    void TearDown() override {
        engine->Release();
        std::filesystem::current_path(previous);
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    std::string Log() const {
        std::ifstream file(dir / "error.log");
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

    ScopedEnvironment environment;
    std::filesystem::path previous, dir;
    Engine* engine = nullptr;
};

TEST_F(Startup, FailedInitiationExitsNonZeroAndSaysWhyInTheLog) {
    engine->Headless_Enable({.failInitiate = true});
    EXPECT_NE(RunProgram("./munchet"), 0);
    ASSERT_TRUE(std::filesystem::exists(dir / "error.log"));
    EXPECT_NE(Log().find("System_Initiate"), std::string::npos) << Log();
}

TEST_F(Startup, EscapeHeldEndsTheLoopAndTheProgramExitsWithZero) {
    engine->Headless_Enable({});
    for (int i = 0; i < 5; ++i) engine->Headless_QueueFrame({});
    engine->Headless_QueueFrame(FrameInput{}.Hold(Key::Escape));
    for (int i = 0; i < 3; ++i) engine->Headless_QueueFrame({});
    EXPECT_EQ(RunProgram("./munchet /WINDOW"), 0);
    EXPECT_EQ(engine->impl->script.size(), 3u) << "the frames after Escape are not run";
    // The program journalled its input from the start of the game on.
    const InputJournal& journal = engine->Journal_Get();
    EXPECT_EQ(journal.frames, 6u);
    EXPECT_TRUE(journal.last.Holds(Key::Escape));
    EXPECT_EQ(journal.startRandom, game.beginning.random) << "it begins from the game's own generator";
    EXPECT_TRUE(std::filesystem::exists(dir / "error.log"));
    // With data/ empty every resource is missing, and the engine says so.
    EXPECT_NE(Log().find("data/ghost.png"), std::string::npos) << Log();
}

// The ticket a run before kept: the first game plays from it and uses it up.
TEST_F(Startup, TheFirstGameBeginsWithTheTicketTheLastRunKept) {
    GameTicket kept{.id = 41, .issuedAt = static_cast<std::int64_t>(std::time(nullptr)), .random = {77, 79}};
    kept.mac.fill(0x5a);
    const std::filesystem::path file = dir / "home/.local/share/munchet/game-ticket.txt";
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << FormatTicket(kept) << "\n";
    engine->Headless_Enable({});
    engine->Headless_QueueFrame(FrameInput{}.Hold(Key::Escape));
    // No score server answers: the ticket's game began offline.
    EXPECT_EQ(RunProgram("./munchet /SERVER=127.0.0.1:1"), 0);
    EXPECT_EQ(game.beginning.ticket, kept);
    EXPECT_EQ(game.beginning.random, kept.random);
    EXPECT_FALSE(std::filesystem::exists(file)) << "a ticket is played once";
}

}  // namespace
