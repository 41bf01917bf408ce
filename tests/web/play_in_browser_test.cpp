// The browser game as a player meets it: Debian's headless Chromium opens
// /play/ from the real munchet-scores, which serves the built folder
// (MUNCHET_WEB_FILES, set by scripts/test.sh; empty: these tests skip). The
// page must draw, draw what the native build draws for the same game, move
// the ghost on the player's keys, start its sound only on the first key (the
// browser's autoplay rule, as shipped), play a whole game to a verified row,
// and play any verified row back to its counters. Every wait is bounded.
//
// The page's test hooks live on window.munchet: frames(), digests, state(),
// ended, audioState() (app/page/play.js).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <thread>

#include "tests/web/headless_browser.h"
#include "tests/web/watched_game.h"

namespace web_test {
namespace {

const std::filesystem::path playFiles = MUNCHET_WEB_PLAY_DIR;

const KeyboardKey arrowLeft{"ArrowLeft", "ArrowLeft", 37}, arrowUp{"ArrowUp", "ArrowUp", 38},
    arrowRight{"ArrowRight", "ArrowRight", 39}, arrowDown{"ArrowDown", "ArrowDown", 40}, f1{"F1", "F1", 112},
    enter{"Enter", "Enter", 13}, backspace{"Backspace", "Backspace", 8}, shift{"ShiftLeft", "Shift", 16};

// One server on the built folder and one browser for the whole suite.
struct PlaySuite {
    ScratchDir dir;
    std::string db = dir.File("scores.db");
    HeadlessBrowser browser;
    std::unique_ptr<ServerProcess> server;
    VerifiedRow row;
};

class PlayInBrowser : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (playFiles.empty() || !std::filesystem::exists(playFiles / "index.html")) return;
        suite = new PlaySuite;
        suite->browser.Start();
        const std::string portFile = suite->dir.File("port");
        suite->server = std::make_unique<ServerProcess>(
            MUNCHET_SCORES_BINARY,
            std::vector<std::string>{"--listen", "127.0.0.1:0", "--db", suite->db, "--port-file", portFile,
                                     "--rate-limit", "0", "--play-files", playFiles.string()},
            suite->dir.File("server.log"));
        if (suite->server->WaitForPort(portFile))
            suite->row = MakeVerifiedRow(suite->server->port, suite->db);
    }
    static void TearDownTestSuite() {
        delete suite;
        suite = nullptr;
    }

    void SetUp() override {
        if (playFiles.empty()) GTEST_SKIP() << "MUNCHET_WEB_FILES is not set: no browser game was built";
        ASSERT_TRUE(std::filesystem::exists(playFiles / "index.html"))
            << playFiles << " holds no index.html: run scripts/build_web.sh";
        ASSERT_TRUE(suite->browser.Running()) << suite->browser.Error();
        ASSERT_GT(suite->server->port, 0) << ReadFile(suite->dir.File("server.log"));
        tab = std::make_unique<BrowserTab>(suite->browser, Viewport{});
        ASSERT_TRUE(tab->Ok()) << suite->browser.Error();
        // A tab of a headless browser may not have the focus, which pauses the game.
        ASSERT_TRUE(tab->Send("Emulation.setFocusEmulationEnabled", {{"enabled", true}}) &&
                    tab->Send("Runtime.enable"))
            << suite->browser.Error();
    }

    void TearDown() override {
        if (!tab) return;
        // Whatever the test did, the page threw nothing and logged no error.
        for (const Json& thrown : tab->TakeEvents("Runtime.exceptionThrown"))
            ADD_FAILURE() << "the page threw: " << thrown["exceptionDetails"].dump();
        for (const Json& call : tab->TakeEvents("Runtime.consoleAPICalled"))
            EXPECT_NE(call["type"], "error") << call["args"].dump();
    }

    // Opens the page (from the suite's server, or the one on port) and waits
    // until it has run a few frames.
    void Open(const std::string& target, int port = 0) {
        ASSERT_TRUE(
            tab->Load("http://127.0.0.1:" + std::to_string(port ? port : suite->server->port) + target))
            << suite->browser.Error();
        ASSERT_TRUE(tab->WaitUntil("munchet.frames() > 10", 20s)) << "the page ran no frames";
    }

    Json Eval(const std::string& expression) { return tab->Evaluate(expression).value_or(Json()); }
    Json State() { return Eval("munchet.state()"); }

    // Lets the page run this many more frames (bounded by what they take at 100 a second).
    void RunFrames(int frames) {
        const int now = Eval("munchet.frames()").get<int>();
        EXPECT_TRUE(
            tab->WaitUntil("munchet.frames() >= " + std::to_string(now + frames), 5s + frames * 30ms));
    }

    void Hold(const KeyboardKey& key, int frames) {
        ASSERT_TRUE(tab->Key(key, true));
        RunFrames(frames);
        ASSERT_TRUE(tab->Key(key, false));
    }

    // The first value sql gives once it is no longer from, or as it stands after bound.
    std::string ValueOnceChanged(const char* sql, const std::string& from, std::chrono::milliseconds bound) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        std::vector<std::string> values = QueryOutside(suite->db, sql);
        while (!values.empty() && values.front() == from && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(20ms);
            values = QueryOutside(suite->db, sql);
        }
        return values.empty() ? "" : values.front();
    }

    void PlayAGameToItsEnd();
    // Types name over the one offered and sends it with Enter.
    void SendName(const std::string& name);

    static PlaySuite* suite;
    std::unique_ptr<BrowserTab> tab;
};

PlaySuite* PlayInBrowser::suite = nullptr;

// The start-up game is seeded with the clock's second: the page's clock is
// held at one, so that its first frame can be drawn natively too.
TEST_F(PlayInBrowser, LoadsAndDrawsTheGame) {
    constexpr std::uint32_t second = 1767225600;
    ASSERT_TRUE(tab->Send("Page.addScriptToEvaluateOnNewDocument",
                          {{"source", "Date.now = () => " + std::to_string(second) + "000;"}}));
    Open("/play/");
    EXPECT_EQ(Eval("munchet.digests[0]"), FirstFrameNatively(second)) << "the start-up game's first frame";
    const std::optional<CanvasPixels> pixels = tab->ReadCanvas("screen");
    ASSERT_TRUE(pixels);
    EXPECT_EQ(pixels->width, 1024);
    EXPECT_EQ(pixels->height, 768);
    // On the black field the HUD, the goal, the ghost, a munchet and the food
    // sources light some 7,000 pixels in over a thousand colours (textures,
    // blending); a WebGL that draws nothing lights none.
    EXPECT_GT(pixels->lit, 2000) << "too few pixels drawn";
    EXPECT_GT(pixels->colours, 200) << "no textures drawn";
}

// The first frames of a verified row, watched: the same scenes as the native
// build draws, frame by frame. The digest rounds positions to 1/16 pixel and
// texture coordinates to 1/4096, so only last-bit float differences pass.
TEST_F(PlayInBrowser, WatchDrawsTheNativeScenesFrameByFrame) {
    ASSERT_FALSE(suite->row.replayId.empty()) << ReadFile(suite->dir.File("server.log"));
    const NativeWatch native = WatchNatively(suite->row.replay);
    const std::size_t frames = std::min<std::size_t>(200, native.digests.size());
    Open("/play/?watch=" + suite->row.replayId);
    ASSERT_TRUE(tab->WaitUntil("munchet.digests.length >= " + std::to_string(frames), 20s));
    const Json digests = Eval("munchet.digests.slice(0, " + std::to_string(frames) + ")");
    ASSERT_EQ(digests.size(), frames);
    for (std::size_t i = 0; i < frames; ++i)
        ASSERT_EQ(digests[i], native.digests[i]) << "frame " << i + 1 << " of " << frames;
}

TEST_F(PlayInBrowser, WatchEndsWithTheRowsCounters) {
    ASSERT_FALSE(suite->row.replayId.empty()) << ReadFile(suite->dir.File("server.log"));
    const std::vector<std::string> row = QueryOutside(
        suite->db, ("SELECT s.score || ' ' || s.level || ' ' || s.munchets || ' ' || s.food FROM scores s"
                    " JOIN replays r ON r.score_id = s.id WHERE r.id = " +
                    suite->row.replayId)
                       .c_str());
    ASSERT_EQ(row.size(), 1u);
    Open("/play/?watch=" + suite->row.replayId);
    // The watch lasts as long as the game did, at 100 frames a second.
    const auto lasting = std::chrono::milliseconds(suite->row.replay.frames.size() * 10);
    const std::string frames = std::to_string(suite->row.replay.frames.size());
    ASSERT_TRUE(tab->WaitUntil("munchet.frames() >= " + frames, 10s + 2 * lasting))
        << "the watch did not reach its last frame";
    EXPECT_TRUE(tab->WaitUntil(pageEnded, 2s)) << "the page was not told the watch is over";
    const Json end = State();
    EXPECT_EQ(end["score"].dump() + " " + end["level"].dump() + " " + end["munchets"].dump() + " " +
                  end["food"].dump(),
              row.front());
}

// The key, and the axis and sign it moves the ghost along.
struct Direction {
    const char* name;
    const KeyboardKey* key;
    const char* axis;
    int sign;
};

void PrintTo(const Direction& d, std::ostream* os) { *os << d.name; }

class GhostOnKeys : public PlayInBrowser, public ::testing::WithParamInterface<Direction> {};

// Also the autoplay rule: the browser holds the sound back until the first
// key, the page runs on meanwhile, and nothing throws (checked at TearDown).
TEST_P(GhostOnKeys, MovesOnlyWhileItsKeyIsHeldAndSoundStartsOnTheFirstKey) {
    const Direction& d = GetParam();
    Open("/play/");
    EXPECT_EQ(Eval("munchet.audioState()"), "suspended") << "before any key";
    Hold(f1, 5);  // a fresh game: the ghost stands still at its start
    EXPECT_TRUE(tab->WaitUntil("munchet.audioState() === 'running'", 5s)) << Eval("munchet.audioState()");
    RunFrames(5);
    const double start = State()["ghosts"][0][d.axis].get<double>();
    RunFrames(30);
    const double idle = State()["ghosts"][0][d.axis].get<double>();
    EXPECT_LE((idle - start) * d.sign, 0.5) << "it moved that way with no key held";
    Hold(*d.key, 30);
    const double moved = State()["ghosts"][0][d.axis].get<double>();
    EXPECT_GT((moved - idle) * d.sign, 10) << "from " << idle << " to " << moved;
}

INSTANTIATE_TEST_SUITE_P(Arrows, GhostOnKeys,
                         ::testing::Values(Direction{"Left", &arrowLeft, "x", -1},
                                           Direction{"Right", &arrowRight, "x", 1},
                                           Direction{"Up", &arrowUp, "y", -1},
                                           Direction{"Down", &arrowDown, "y", 1}),
                         [](const auto& info) { return std::string(info.param.name); });

// The keys held, changed only where they differ from those wanted.
class HeldKeys {
public:
    explicit HeldKeys(BrowserTab& tab) : tab(tab) {}
    bool Want(const std::set<const KeyboardKey*>& wanted) {
        for (const KeyboardKey* key : held)
            if (!wanted.contains(key) && !tab.Key(*key, false)) return false;
        for (const KeyboardKey* key : wanted)
            if (!held.contains(key) && !tab.Key(*key, true)) return false;
        held = wanted;
        return true;
    }

private:
    BrowserTab& tab;
    std::set<const KeyboardKey*> held;
};

// The munchets as a player sees them: yellow on the screen, one spot per
// 16-pixel cell, in field coordinates (the field's centre is the screen's).
constexpr const char* munchetsOnScreen = R"js((rgba, width, height) => {
    const cells = new Map();
    for (let y = 0; y < height; y += 2) {
        for (let x = 0; x < width; x += 2) {
            const i = (y * width + x) * 4;
            if (rgba[i] > 150 && rgba[i + 1] > 120 && rgba[i + 2] < 100)
                cells.set((x >> 4) + ',' + (y >> 4), [x - width / 2, y - height / 2]);
        }
    }
    return [...cells.values()];
})js";

// F1 and a game played to its end with a score. The table takes no game
// without one: Shift held with Up, the ghost waits by the goal above its
// start and draws the food in until some is saved; then, charged and so
// vulnerable, it runs at the munchet nearest on the screen until one catches
// it. Played so natively (from the rules' own positions), 199 starts of 200
// ended within 22 s, half within 9 s.
void PlayInBrowser::PlayAGameToItsEnd() {
    Hold(f1, 5);
    const auto gameBound = std::chrono::steady_clock::now() + 120s;
    HeldKeys keys(*tab);
    for (Json state = State(); state["gameOver"] == false; state = State()) {
        ASSERT_LT(std::chrono::steady_clock::now(), gameBound) << "the game did not end: " << state.dump();
        const double x = state["ghosts"][0]["x"].get<double>(), y = state["ghosts"][0]["y"].get<double>();
        std::set<const KeyboardKey*> wanted;
        if (state["score"].get<int>() <= 0) {
            wanted = {&shift, &arrowUp};
        } else {
            double toX = 0, toY = 192, nearest = 1e9;
            for (const Json& spot : tab->ReduceCanvas("screen", munchetsOnScreen).value_or(Json::array())) {
                const double sx = spot[0], sy = spot[1];
                const bool goalKnob = std::abs(sx) < 48 && std::abs(sy + 320) < 48;
                const double distance = std::hypot(sx - x, sy - y);
                if (!goalKnob && distance < nearest) toX = sx, toY = sy, nearest = distance;
            }
            if (std::abs(x - toX) > 8) wanted.insert(x < toX ? &arrowRight : &arrowLeft);
            if (std::abs(y - toY) > 8) wanted.insert(y < toY ? &arrowDown : &arrowUp);
        }
        ASSERT_TRUE(keys.Want(wanted)) << suite->browser.Error();
    }
    ASSERT_TRUE(keys.Want({}));
    ASSERT_TRUE(tab->WaitUntil("munchet.state().nameEntry", 5s)) << State().dump();
}

void PlayInBrowser::SendName(const std::string& name) {
    for (int i = 0; i < Game::MaxNameLength; ++i) Hold(backspace, 1);
    // A frame takes one typed character, as from a player's keyboard.
    for (const char c : name) {
        ASSERT_TRUE(tab->Type(std::string(1, c)));
        RunFrames(2);
    }
    Hold(enter, 2);
}

// A game played to its end, a name and Enter: the game goes to the table
// with its replay, and the server proves it.
TEST_F(PlayInBrowser, AWholeGameGoesToTheTableVerified) {
    Open("/play/");
    // The game F1 begins takes the ticket fetched meanwhile and tells the server it began.
    RunFrames(100);
    const char* tickets = "SELECT count(*) FROM tickets";
    const std::string ticketsBefore = QueryOutside(suite->db, tickets).front();
    ASSERT_NO_FATAL_FAILURE(PlayAGameToItsEnd());
    EXPECT_NE(QueryOutside(suite->db, tickets).front(), ticketsBefore) << "the game began without a ticket";
    ASSERT_NO_FATAL_FAILURE(SendName("Browser"));
    // Sent within the exchange's three seconds; the rest is the verifier's margin.
    ASSERT_EQ(ValueOnceChanged("SELECT count(*) FROM scores s JOIN replays r ON r.score_id = s.id"
                               " WHERE s.name = 'Browser' AND s.verified = 1",
                               "0", 3s + 7s),
              "1")
        << ReadFile(suite->dir.File("server.log"));
    // Anyone may watch it from its row in the table.
    const std::string replayId = QueryOutside(suite->db,
                                              "SELECT r.id FROM scores s JOIN replays r ON"
                                              " r.score_id = s.id WHERE s.name = 'Browser'")
                                     .front();
    ASSERT_TRUE(tab->Load("http://127.0.0.1:" + std::to_string(suite->server->port) + "/"));
    const std::string watch =
        "[...document.querySelectorAll('tr')].find(r => r.textContent.includes('Browser'))"
        ".querySelector('a[href*=watch]')";
    EXPECT_EQ(Eval(watch + ".getAttribute('href')"), "play/?watch=" + replayId);
    ASSERT_TRUE(tab->RunAndWaitForLoad(watch + ".click()"));
    EXPECT_TRUE(tab->WaitUntil("munchet.frames() > 10", 20s)) << "the watch did not start";
}

// The server goes away while a game is played: its score waits in the
// outbox, which lives in the browser's storage, and is still there when the
// page is opened again.
TEST_F(PlayInBrowser, AScoreTheServerMissedWaitsInTheBrowsersStorage) {
    const std::string portFile = suite->dir.File("own-port");
    auto own = std::make_unique<ServerProcess>(
        MUNCHET_SCORES_BINARY,
        std::vector<std::string>{"--listen", "127.0.0.1:0", "--db", suite->dir.File("own.db"), "--port-file",
                                 portFile, "--play-files", playFiles.string()},
        suite->dir.File("own.log"));
    ASSERT_TRUE(own->WaitForPort(portFile)) << ReadFile(suite->dir.File("own.log"));
    const int port = own->port;
    Open("/play/", port);
    RunFrames(100);
    ASSERT_NO_FATAL_FAILURE(PlayAGameToItsEnd());
    own.reset();
    ASSERT_NO_FATAL_FAILURE(SendName("Offline"));
    const std::string outbox = "'/home/web_user/.local/share/munchet/score-outbox.txt'";
    const std::string kept = "(() => { try { return Module.FS.readFile(" + outbox +
                             ", {encoding: 'utf8'}).includes('Offline'); } catch (e) { return false; } })()";
    ASSERT_TRUE(tab->WaitUntil(kept, 5s))
        << "the score is not in the outbox" << Eval("Module.FS.readFile('/error.log', {encoding: 'utf8'})");
    // The page writes the player's folder back every two seconds.
    std::this_thread::sleep_for(2500ms);
    std::filesystem::remove(portFile);
    own = std::make_unique<ServerProcess>(
        MUNCHET_SCORES_BINARY,
        std::vector<std::string>{"--listen", "127.0.0.1:" + std::to_string(port), "--db",
                                 suite->dir.File("own.db"), "--port-file", portFile, "--play-files",
                                 playFiles.string()},
        suite->dir.File("own.log"));
    ASSERT_TRUE(own->WaitForPort(portFile)) << ReadFile(suite->dir.File("own.log"));
    Open("/play/", port);
    EXPECT_EQ(Eval(kept), true) << "the outbox did not outlast the page";
}

}  // namespace
}  // namespace web_test
