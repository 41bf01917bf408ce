// A player at the real game's window on the virtual display: looks at the
// screen, holds the arrow keys toward a place, and reads which screen the
// game shows from where its texts stand.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "tests/e2e/e2e_support.h"
#include "tests/e2e/x_screen.h"
#include "tests/e2e/x_session.h"

namespace e2e {

// Finds Xvfb and xdotool on PATH. Empty when a window test can run, else why
// it cannot (a reason to skip with).
inline std::string WindowToolsMissing(std::string& xvfb, std::string& xdotool) {
    xvfb = FindOnPath("Xvfb");
    xdotool = FindOnPath("xdotool");
    if (xvfb.empty() || xdotool.empty())
        return "needs Xvfb and xdotool on PATH (Debian: apt-get install xvfb xdotool)";
    if (!CanTakeScreenshots()) return "built without Xlib (Debian: libx11-dev): no screenshots";
    return "";
}

// The real game in a window on display, sending to the score server at host,
// run in work (which holds data/) with a home of its own in work/home and its
// stderr in work/game.err. The test's own environment asks SDL for no window
// and no sound; the game gets the display and whatever sound the machine has
// (none in a container: it must run silently).
inline SpawnOptions WindowGame(const std::string& host, const std::filesystem::path& work,
                               const std::string& display) {
    std::vector<std::string> variables = HomeUnder(work / "home");
    variables.push_back("DISPLAY=" + display);
    return SpawnOptions({MUNCHET_GAME_BIN, "/WINDOW", "/SERVER=" + host})
        .Env(Environment({"SDL_VIDEODRIVER", "SDL_AUDIODRIVER", "ALSOFT_DRIVERS", "ALSOFT_LOGLEVEL"},
                         variables))
        .Cwd(work.string())
        .Stderr((work / "game.err").string());
}

// Where the focused ghost gathers food (beside the left food source), and the
// goal, where the food it draws in is saved: window pixels.
inline constexpr ScreenPoint Pasture{262, 284}, Goal{512, 64};

struct WindowPlayer {
    const XScreen& screen;
    unsigned long window;
    HeldKeys keys;
    Screenshot shot;

    WindowPlayer(const XScreen& display, const XdoTool& xdo, unsigned long windowId)
        : screen(display), window(windowId), keys{xdo, std::to_string(windowId), {}} {}

    // A fresh screenshot in shot; false when the window cannot be read.
    bool Look() { return screen.Grab(window, shot); }

    // Holds the arrows that move the ghost toward target (window pixels), and
    // Shift when focus is asked for. False when no ghost is seen: a ghost
    // that can eat is drawn red and cannot be found.
    bool SteerTo(ScreenPoint target, bool focus) {
        const std::optional<ScreenPoint> ghost = FindGhost(shot);
        keys.Set("shift", focus && ghost);
        const float dx = ghost ? target.x - ghost->x : 0, dy = ghost ? target.y - ghost->y : 0;
        keys.Set("Left", dx < -6);
        keys.Set("Right", dx > 6);
        keys.Set("Up", dy < -6);
        keys.Set("Down", dy > 6);
        return ghost.has_value();
    }

    // Runs the ghost at the nearest munchet; a focused one is always caught.
    void Chase(bool focus = false) {
        const std::optional<ScreenPoint> ghost = FindGhost(shot);
        const std::optional<ScreenPoint> munchet = ghost ? NearestMunchet(shot, *ghost) : std::nullopt;
        SteerTo(munchet.value_or(ghost.value_or(ScreenPoint{})), focus);
    }

    // Whether the score line at the top left reads otherwise than in
    // `before`: its white pixels differ.
    bool ScoreLineDiffers(const Screenshot& before) const {
        const auto white = [](const Screenshot& s, int x, int y) {
            return CountWhitePixels(s, x, y, x + 1, y + 1);
        };
        for (int y = 0; y < 28; ++y)
            for (int x = 0; x < 200; ++x)
                if (white(before, x, y) != white(shot, x, y)) return true;
        return false;
    }

    // "Enter your name:" and the name under it (also where the help of a
    // game's first 3 s and a level's bonus stand: ask later than that).
    bool PromptShown() const { return CountWhitePixels(shot, 430, 384, 594, 404) > 30; }
    // "HIGHSCORES": the table screen after a game.
    bool TableShown() const { return CountWhitePixels(shot, 450, 134, 574, 154) > 30; }

    // Types a name into the prompt and sends it with Enter.
    void SendName(const std::string& name) {
        keys.ReleaseAll();
        keys.xdo.Run({"type", "--window", keys.window, "--delay", "30", name});
        keys.xdo.Run({"key", "--window", keys.window, "Return"});
    }

    struct Sending {
        bool sent = false;
        int games = 1;  // begun, the one under way included
    };
    // Plays until a game with points is sent under name: the focused ghost
    // gathers food, parks in the goal until food saved there scores, then
    // runs into a munchet (focused, so it is caught). One caught before
    // anything scored ends on the table screen at once: R, and again. start
    // is a screenshot of a game's start (its score line); gives up after
    // limit or once running says the game is gone.
    Sending PlayUntilAScoreIsSent(const std::string& name, const Screenshot& start,
                                  std::chrono::seconds limit, const std::function<bool()>& running) {
        using Clock = std::chrono::steady_clock;
        using std::chrono::seconds;
        Sending sending;
        auto gameStart = Clock::now();
        bool scored = false;
        for (const auto until = Clock::now() + limit; !sending.sent && Clock::now() < until && running();
             std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
            if (!Look()) continue;
            const auto played = Clock::now() - gameStart;
            scored = scored || ScoreLineDiffers(start);
            if (played > seconds(1) && TableShown()) {
                Restart();
                gameStart = Clock::now();
                scored = false;
                ++sending.games;
            } else if (played > seconds(4) && PromptShown()) {
                SendName(name);
                sending.sent = true;
            } else if (scored) {
                Chase(true);
            } else {
                SteerTo(played < seconds(4) ? Pasture : Goal, true);
            }
        }
        keys.ReleaseAll();
        return sending;
    }

    // R held for a moment: a new game from the table screen.
    void Restart() {
        keys.ReleaseAll();
        keys.Set("r", true);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        keys.Set("r", false);
    }
};

// The real game in its window on a virtual display of its own, in a fresh
// work folder (data/ linked from the source tree), and a player at it.
struct WindowSession {
    ScratchDir work;
    VirtualDisplay display;
    ChildProcess game;
    std::optional<XdoTool> xdo;
    std::optional<XScreen> screen;
    std::optional<WindowPlayer> player;

    // Starts it all against the score server at host; empty once the window
    // is up and can be seen, else what failed.
    std::string Open(const std::string& xvfb, const std::string& xdotool, const std::string& host) {
        std::filesystem::create_directory_symlink(std::filesystem::path(MUNCHET_SOURCE_DIR) / "data",
                                                  work.path / "data");
        if (!display.Start(xvfb, work.File("xvfb.log")))
            return "no display: " + ReadText(work.File("xvfb.log"));
        game.Start(WindowGame(host, work.path, display.name));
        xdo.emplace(XdoTool{xdotool, display.name, work.File("xdotool.out")});
        const unsigned long window = xdo->FindWindow("Munchet Fast Prototype", std::chrono::seconds(20));
        if (window == 0) return "no game window appeared\n" + ReadText(work.File("game.err"));
        screen.emplace(display.name);
        if (!screen->Connected()) return "cannot read the display";
        player.emplace(*screen, *xdo, window);
        return "";
    }
    std::string Log() const { return ReadText(work.path / "error.log"); }
};

}  // namespace e2e
