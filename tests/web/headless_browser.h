// Debian's headless Chromium for the web tests, driven over its DevTools
// protocol through a pipe (--remote-debugging-pipe): the browser reads
// commands on its descriptor 3 and writes replies and events on its
// descriptor 4, each message one JSON text ended by a NUL byte. No port is
// opened, and the browser dies with the test process.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace web_test {

using Json = nlohmann::json;
using namespace std::chrono_literals;

inline constexpr const char* chromiumBinary = "/usr/bin/chromium";
inline constexpr std::chrono::milliseconds commandTimeout = 30s;

// One Chromium process with a profile of its own in a fresh temporary folder.
// Every wait is bounded; whatever fails leaves a reason in Error().
class HeadlessBrowser {
public:
    HeadlessBrowser() = default;
    HeadlessBrowser(const HeadlessBrowser&) = delete;
    HeadlessBrowser& operator=(const HeadlessBrowser&) = delete;
    ~HeadlessBrowser() { Stop(); }

    // Launches the browser and waits until it answers (at most commandTimeout).
    bool Start();
    // Kills the browser's whole process group, waits (at most 5 s) until it
    // is gone, and removes the profile folder. Safe to call twice.
    void Stop();
    bool Running() const { return pid > 0; }
    const std::string& Error() const { return error; }

    // Sends one command, to the browser or to an attached session, and waits
    // for its reply: the "result" object, or nothing (a protocol error, a
    // timeout or a dead browser; see Error()).
    std::optional<Json> Call(const std::string& method, const Json& params = Json::object(),
                             const std::string& session = {},
                             std::chrono::milliseconds timeout = commandTimeout);

    // Waits for the next event of this method from this session; an event
    // that arrived earlier and was not taken yet counts.
    std::optional<Json> WaitForEvent(const std::string& method, const std::string& session,
                                     std::chrono::milliseconds timeout = commandTimeout);

    // Forgets the queued events of this method from this session.
    void DropEvents(const std::string& method, const std::string& session);
    // Takes the queued events of this method from this session, oldest first,
    // without waiting: those sent before the last reply read are all there.
    std::vector<Json> TakeEvents(const std::string& method, const std::string& session);

private:
    bool Launch();
    // Reads what the browser sent until `deadline`, or stops as soon as at
    // least one more message has been sorted in; false on timeout or end of stream.
    bool ReadSome(std::chrono::steady_clock::time_point deadline);
    void Fail(std::string reason);

    pid_t pid = -1;    // Chromium's main process, leader of its own process group
    int channel = -1;  // our end of the socket pair that is the child's descriptors 3 and 4
    std::filesystem::path profile;
    std::string incoming;  // bytes after the last complete message
    int nextId = 1;
    std::map<int, Json> replies;  // by command id, until taken
    std::deque<Json> events;      // not taken yet, oldest first
    std::string error;
};

// The size of the window and the colour scheme a page is shown with.
struct Viewport {
    int width = 1280;     // CSS pixels
    int height = 800;     // CSS pixels
    bool mobile = false;  // a phone: the page's viewport meta tag applies
    bool dark = false;    // prefers-color-scheme: dark
};

// A key as the page's keyboard events name it.
struct KeyboardKey {
    std::string code;  // the physical key: "ArrowLeft", "KeyA", "F1"
    std::string key;   // what it means under a US layout: "ArrowLeft", "a", "F1"
    int keyCode = 0;   // the Windows virtual-key code pages read as keyCode
};

// The key that types a letter, digit or blank (a capital as with Shift held).
KeyboardKey KeyForCharacter(char c);

// What a canvas holds, read back through a 2D copy of it.
struct CanvasPixels {
    int width = 0, height = 0;
    int lit = 0;      // pixels that are not black
    int colours = 0;  // distinct colours among them
};

// One tab in a browser context of its own (no cache or cookies shared with
// other tabs), closed on destruction. Ok() is false when it could not be set up.
class BrowserTab {
public:
    BrowserTab(HeadlessBrowser& browser, const Viewport& viewport);
    BrowserTab(const BrowserTab&) = delete;
    BrowserTab& operator=(const BrowserTab&) = delete;
    ~BrowserTab();

    bool Ok() const { return !session.empty(); }

    // Navigates and waits until the page's load event (stylesheet and images done).
    bool Load(const std::string& url);

    // Evaluates an expression that leads the page elsewhere (a click, a form
    // submission) and waits for the next page's load event.
    bool RunAndWaitForLoad(const std::string& expression);

    // The value of a JavaScript expression evaluated in the page (promises
    // awaited), or nothing when it threw.
    std::optional<Json> Evaluate(const std::string& expression);

    // Presses (down) or releases a key, as the keyboard would: the page gets
    // keydown/keyup, and keypress too when text (what the key types) is given.
    bool Key(const KeyboardKey& key, bool down, std::string_view text = {});
    // Types text key by key (letters, digits and blanks).
    bool Type(std::string_view text);

    // The pixels of the canvas with this id; nothing when there is none or
    // it cannot be read.
    std::optional<CanvasPixels> ReadCanvas(const std::string& canvasId);
    // What reduce, a JavaScript function (rgba, width, height) => value, makes
    // of the canvas's pixels (RGBA bytes, rows from the top); nothing when
    // there is no such canvas or the function threw.
    std::optional<Json> ReduceCanvas(const std::string& canvasId, const std::string& reduce);

    // Evaluates condition (a promise is awaited) every 20 ms until it is
    // true; false once bound has passed. A condition that throws is false.
    bool WaitUntil(const std::string& condition, std::chrono::milliseconds bound);

    // A PNG of the whole page at the viewport's width, written to png.
    bool Screenshot(const std::filesystem::path& png);

    // A command to this tab's session ("Network.enable", ...): its result, or
    // nothing (see the browser's Error()).
    std::optional<Json> Send(const std::string& method, const Json& params = Json::object());
    // The next event of this method from this tab; one that arrived earlier counts.
    std::optional<Json> WaitForEvent(const std::string& method);
    void DropEvents(const std::string& method);
    std::vector<Json> TakeEvents(const std::string& method);

private:
    HeadlessBrowser& browser;
    std::string context;
    std::string target;
    std::string session;
};

// Width and height from a PNG file's header; nothing when it is not a PNG.
std::optional<std::pair<int, int>> PngSize(const std::filesystem::path& png);

}  // namespace web_test
