// A game played in a real window on a virtual X display, with keys typed by
// xdotool, keeps a journal of its input; played back on the headless engine
// without any platform, the journal brings the game to the very same state.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "engine/engine_impl.h"
#include "engine/input_journal.h"
#include "engine/sdl/sdl_platform.h"
#include "tests/e2e/e2e_support.h"
#include "tests/e2e/x_session.h"
#include "tests/game/sim_support.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* Title = "Munchet journal test";
// The run ends here should the keys never arrive (no Escape), 20 s at 100
// frames per second.
constexpr int FrameLimit = 2000;

// The game the window loop drives.
struct WindowGame {
    static inline Game* game = nullptr;
    static inline Engine* engine = nullptr;
    static inline int frames = 0;
    static inline bool timedOut = false;
    static bool Frame() {
        if (++frames > FrameLimit) return timedOut = true;
        return game->Frame(engine->Input_GetFrame());
    }
    static bool Render() { return false; }
};

// Sets an environment variable for the test's life, as it was afterwards.
struct ScopedVariable {
    std::string name;
    std::optional<std::string> before;
    ScopedVariable(std::string variable, const std::string& value) : name(std::move(variable)) {
        if (const char* old = std::getenv(name.c_str())) before = old;
        setenv(name.c_str(), value.c_str(), 1);
    }
    ~ScopedVariable() {
        if (before)
            setenv(name.c_str(), before->c_str(), 1);
        else
            unsetenv(name.c_str());
    }
};

// The keys a player gives the window: moves of both ghosts, focus, a
// two-player restart, the volume key, and Escape to end.
void Play(const e2e::XdoTool& xdo, std::atomic<bool>& typed) {
    const unsigned long window = xdo.FindWindow(Title, 20s);
    if (window == 0) return;
    e2e::HeldKeys keys{xdo, std::to_string(window), {}};
    const auto hold = [&keys](std::initializer_list<const char*> names, std::chrono::milliseconds time) {
        for (const char* name : names) keys.Set(name, true);
        std::this_thread::sleep_for(time);
        for (const char* name : names) keys.Set(name, false);
    };
    std::this_thread::sleep_for(200ms);
    hold({"Right"}, 400ms);
    hold({"Down", "shift"}, 300ms);
    hold({"m"}, 50ms);
    hold({"F2"}, 60ms);
    hold({"w", "d", "Left"}, 400ms);
    hold({"g", "Up"}, 250ms);
    typed = true;
    keys.Set("Escape", true);  // held until the run has ended
    std::this_thread::sleep_for(500ms);
}

// What the two runs must agree on: the counters and every stored number of
// the simulation (positions, velocities, charges, timers).
std::vector<std::uint64_t> Outcome(const Game& game) {
    return {static_cast<std::uint64_t>(game.score),
            static_cast<std::uint64_t>(game.level),
            static_cast<std::uint64_t>(game.food),
            static_cast<std::uint64_t>(game.munchets),
            static_cast<std::uint64_t>(game.playerCount),
            static_cast<std::uint64_t>(game.musicVolume),
            HashState(game)};
}

// Frames of the journal during which key was held.
int FramesHolding(const InputJournal& journal, int key) {
    JournalReader reader(journal);
    FrameInput frame;
    int held = 0;
    while (reader.Next(frame) == JournalReader::Result::Frame) held += frame.Holds(key);
    return held;
}

TEST(WindowJournal, AGamePlayedInTheWindowReplaysHeadlessToTheSameState) {
    const std::string xvfb = e2e::FindOnPath("Xvfb"), xdotool = e2e::FindOnPath("xdotool");
    if (xvfb.empty() || xdotool.empty())
        GTEST_SKIP() << "needs Xvfb and xdotool on PATH (Debian: apt-get install xvfb xdotool)";
    ScratchDir work;
    e2e::VirtualDisplay display;
    ASSERT_TRUE(display.Start(xvfb, work.File("xvfb.log"))) << e2e::ReadText(work.File("xvfb.log"));

    InputJournal journal;
    std::vector<std::uint64_t> played;
    {
        // This process's SDL opens its window on the virtual display.
        ScopedVariable videoDriver("SDL_VIDEODRIVER", "x11");
        ScopedVariable displayName("DISPLAY", display.name);
        Game game;
        WindowGame::game = &game;
        Engine* engine = hgeCreate(EngineVersion);
        WindowGame::engine = engine;
        engine->System_SetPlatform(SdlPlatform);
        engine->System_SetState(StateLogFile, work.File("window.log").c_str());
        engine->System_SetState(StateFrameFunc, &WindowGame::Frame);
        engine->System_SetState(StateRenderFunc, &WindowGame::Render);
        engine->System_SetState(StateTitle, Title);
        engine->System_SetState(StateWindowed, true);
        ASSERT_TRUE(engine->System_Initiate()) << engine->System_GetErrorMessage();
        game.random.Seed(8086);
        engine->Journal_Begin(game.random.GetState());
        game.StartGame();

        std::atomic<bool> typed = false;
        const e2e::XdoTool xdo{xdotool, display.name, work.File("xdotool.out")};
        std::thread player(Play, std::cref(xdo), std::ref(typed));
        engine->System_Start();
        player.join();
        journal = engine->Journal_Get();
        played = Outcome(game);
        engine->System_Shutdown();
        engine->Release();
        WindowGame::engine = nullptr;
        ASSERT_TRUE(typed) << "the window never appeared to xdotool";
        ASSERT_FALSE(WindowGame::timedOut) << "Escape did not end the run";
    }
    // The keys went through the window loop into the journal.
    EXPECT_GT(FramesHolding(journal, Key::Right), 10);
    EXPECT_GT(FramesHolding(journal, 'W'), 10);
    EXPECT_GT(FramesHolding(journal, Key::Escape), 0);
    ASSERT_EQ(played.size(), 7u);
    EXPECT_EQ(played[4], 2u) << "F2 started a two-player game";
    EXPECT_EQ(played[5], 20u) << "M turned the volume once (from 0 without music)";

    HeadlessGame replay(1);
    replay.game.random.SetState(journal.startRandom);
    replay.game.StartGame();
    replay.PlayJournal(journal);
    EXPECT_EQ(Outcome(replay.game), played) << "score, level, food, munchets, players, volume, hash";
}

}  // namespace
