#include "tests/web/headless_browser.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

extern char** environ;

namespace web_test {

namespace {

using Clock = std::chrono::steady_clock;

std::string Base64Decode(std::string_view text) {
    std::string out;
    unsigned int bits = 0;
    int count = 0;
    for (const char c : text) {
        int value;
        if (c >= 'A' && c <= 'Z') {
            value = c - 'A';
        } else if (c >= 'a' && c <= 'z') {
            value = c - 'a' + 26;
        } else if (c >= '0' && c <= '9') {
            value = c - '0' + 52;
        } else if (c == '+') {
            value = 62;
        } else if (c == '/') {
            value = 63;
        } else {
            continue;  // padding
        }
        bits = (bits << 6) | static_cast<unsigned int>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return out;
}

std::string Tail(const std::filesystem::path& file, std::size_t bytes) {
    std::ifstream in(file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return text.size() <= bytes ? text : text.substr(text.size() - bytes);
}

// The child's environment: ours, with HOME, TMPDIR and the XDG folders moved
// into the profile, so the browser writes nothing outside it.
std::vector<std::string> ChildEnvironment(const std::filesystem::path& profile) {
    const std::vector<std::string> moved = {"HOME",           "TMPDIR",        "XDG_CONFIG_HOME",
                                            "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"};
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string_view entry = *e;
        const std::string_view name = entry.substr(0, entry.find('='));
        if (std::find(moved.begin(), moved.end(), name) == moved.end()) env.emplace_back(entry);
    }
    for (const std::string& name : moved) env.push_back(name + "=" + profile.string());
    return env;
}

}  // namespace

bool HeadlessBrowser::Start() {
    Stop();
    error.clear();
    if (::access(chromiumBinary, X_OK) != 0) {
        Fail(std::string(chromiumBinary) + " is missing: install Debian's chromium (scripts/deps.sh does)");
        return false;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "munchet-chromium-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        Fail("cannot create a profile folder");
        return false;
    }
    profile = pattern;
    if (!Launch()) return false;
    if (!Call("Browser.getVersion")) {
        const std::string reason = error;
        const std::string log = Tail(profile / "chromium.log", 2000);
        Stop();
        error = reason + "; the browser's log ends:\n" + log;
        return false;
    }
    return true;
}

bool HeadlessBrowser::Launch() {
    int ends[2];
    // One socket pair carries both directions; a socket, unlike a pipe, lets
    // us write with MSG_NOSIGNAL, so a dead browser is an error, not a SIGPIPE.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        Fail("socketpair failed");
        return false;
    }
    // --enable-unsafe-swiftshader: software WebGL, without which a page's
    // WebGL may draw nothing at all, and say nothing of it.
    const std::vector<std::string> args = {chromiumBinary,
                                           "--headless",
                                           "--no-sandbox",
                                           "--disable-gpu",
                                           "--enable-unsafe-swiftshader",
                                           "--disable-quic",
                                           "--no-first-run",
                                           "--disable-background-networking",
                                           "--disable-component-update",
                                           "--disable-sync",
                                           "--disable-dev-shm-usage",
                                           "--hide-scrollbars",
                                           "--mute-audio",
                                           "--remote-debugging-pipe",
                                           "--user-data-dir=" + profile.string(),
                                           "about:blank"};
    std::vector<std::string> env = ChildEnvironment(profile);
    const std::string log = (profile / "chromium.log").string();
    std::vector<char*> argv, envp;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    // The browser's helpers outlive it by a moment when it is killed; they
    // come to us instead of to init, so Stop can wait for them.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    const pid_t parent = ::getpid();
    pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec. The browser leads
        // a process group of its own, so Stop can reach its helper processes.
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        const int high = ::fcntl(ends[1], F_DUPFD, 10);  // off 3 and 4, without close-on-exec
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (high < 0 || in < 0 || out < 0) ::_exit(127);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(out, 2);
        ::dup2(high, 3);
        ::dup2(high, 4);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(ends[1]);
    if (pid < 0) {
        ::close(ends[0]);
        Fail("fork failed");
        return false;
    }
    ::setpgid(pid, pid);  // also from here, so it holds before Stop can run
    channel = ends[0];
    return true;
}

void HeadlessBrowser::Stop() {
    if (pid > 0) {
        // The profile is thrown away, so nothing is lost by not closing the
        // browser gently (which takes it seconds). Its helpers are reparented
        // to this process (a subreaper, see Launch), so all of them are reaped
        // here and none still writes into the profile while it is removed.
        ::kill(-pid, SIGKILL);
        const auto deadline = Clock::now() + 5s;
        while (Clock::now() < deadline) {
            int status = 0;
            const pid_t reaped = ::waitpid(-pid, &status, WNOHANG);
            if (reaped < 0 && ::kill(-pid, 0) != 0) break;  // no member left, alive or dead
            if (reaped <= 0) std::this_thread::sleep_for(5ms);
        }
        pid = -1;
    }
    if (channel >= 0) {
        ::close(channel);
        channel = -1;
    }
    if (!profile.empty()) {
        std::error_code failed;
        for (int attempt = 0; attempt < 3 && std::filesystem::exists(profile); ++attempt) {
            std::filesystem::remove_all(profile, failed);
            if (failed) std::this_thread::sleep_for(50ms);
        }
        profile.clear();
    }
    incoming.clear();
    replies.clear();
    events.clear();
}

void HeadlessBrowser::Fail(std::string reason) { error = std::move(reason); }

bool HeadlessBrowser::ReadSome(Clock::time_point deadline) {
    while (true) {
        const std::size_t end = incoming.find('\0');
        if (end != std::string::npos) {
            Json message = Json::parse(incoming.begin(), incoming.begin() + static_cast<std::ptrdiff_t>(end),
                                       nullptr, false);
            incoming.erase(0, end + 1);
            if (message.is_object() && message.contains("id") && message["id"].is_number_integer()) {
                const int id = message["id"].get<int>();
                replies[id] = std::move(message);
            } else if (message.is_object() && message.contains("method")) {
                // A tab that is never read from must not grow the queue without bound.
                if (events.size() >= 10000) events.pop_front();
                events.push_back(std::move(message));
            }
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            Fail("no answer from the browser in time");
            return false;
        }
        pollfd entry{channel, POLLIN, 0};
        if (::poll(&entry, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) {
            Fail("poll failed");
            return false;
        }
        if (entry.revents == 0) continue;
        char chunk[65536];
        const ssize_t n = ::recv(channel, chunk, sizeof chunk, 0);
        if (n <= 0) {
            Fail("the browser closed its end of the pipe (crashed or quit)");
            return false;
        }
        incoming.append(chunk, static_cast<std::size_t>(n));
    }
}

std::optional<Json> HeadlessBrowser::Call(const std::string& method, const Json& params,
                                          const std::string& session, std::chrono::milliseconds timeout) {
    if (channel < 0) {
        Fail("the browser is not running");
        return std::nullopt;
    }
    const int id = nextId++;
    Json command = {{"id", id}, {"method", method}, {"params", params}};
    if (!session.empty()) command["sessionId"] = session;
    std::string text = command.dump();
    text += '\0';
    for (std::string_view rest = text; !rest.empty();) {
        const ssize_t n = ::send(channel, rest.data(), rest.size(), MSG_NOSIGNAL);
        if (n <= 0) {
            Fail("cannot send " + method + ": the browser is gone");
            return std::nullopt;
        }
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
    const auto deadline = Clock::now() + timeout;
    while (!replies.contains(id)) {
        if (!ReadSome(deadline)) {
            error = method + ": " + error;
            return std::nullopt;
        }
    }
    Json reply = std::move(replies[id]);
    replies.erase(id);
    if (reply.contains("error")) {
        Fail(method + " failed: " + reply["error"].dump());
        return std::nullopt;
    }
    return reply.contains("result") ? reply["result"] : Json::object();
}

std::optional<Json> HeadlessBrowser::WaitForEvent(const std::string& method, const std::string& session,
                                                  std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (true) {
        for (auto it = events.begin(); it != events.end(); ++it) {
            if ((*it)["method"] == method && it->value("sessionId", "") == session) {
                Json event = std::move(*it);
                events.erase(it);
                return event.contains("params") ? event["params"] : Json::object();
            }
        }
        if (!ReadSome(deadline)) {
            error = "waiting for " + method + ": " + error;
            return std::nullopt;
        }
    }
}

void HeadlessBrowser::DropEvents(const std::string& method, const std::string& session) {
    std::erase_if(events, [&](const Json& event) {
        return event["method"] == method && event.value("sessionId", "") == session;
    });
}

std::vector<Json> HeadlessBrowser::TakeEvents(const std::string& method, const std::string& session) {
    std::vector<Json> taken;
    std::deque<Json> kept;
    for (Json& event : events) {
        if (event["method"] == method && event.value("sessionId", "") == session) {
            taken.push_back(event.contains("params") ? std::move(event["params"]) : Json::object());
        } else {
            kept.push_back(std::move(event));
        }
    }
    events = std::move(kept);
    return taken;
}

BrowserTab::BrowserTab(HeadlessBrowser& browser, const Viewport& viewport) : browser(browser) {
    const std::optional<Json> created = browser.Call("Target.createBrowserContext");
    if (!created) return;
    context = (*created)["browserContextId"];
    const std::optional<Json> tab =
        browser.Call("Target.createTarget", {{"url", "about:blank"}, {"browserContextId", context}});
    if (!tab) return;
    target = (*tab)["targetId"];
    const std::optional<Json> attached =
        browser.Call("Target.attachToTarget", {{"targetId", target}, {"flatten", true}});
    if (!attached) return;
    const std::string id = (*attached)["sessionId"];
    const bool ready =
        browser.Call("Page.enable", Json::object(), id) &&
        browser.Call("Emulation.setDeviceMetricsOverride",
                     {{"width", viewport.width},
                      {"height", viewport.height},
                      {"deviceScaleFactor", 1},
                      {"mobile", viewport.mobile}},
                     id) &&
        browser.Call("Emulation.setEmulatedMedia",
                     {{"features", Json::array({{{"name", "prefers-color-scheme"},
                                                 {"value", viewport.dark ? "dark" : "light"}}})}},
                     id);
    if (ready) session = id;
}

BrowserTab::~BrowserTab() {
    if (!browser.Running()) return;
    if (!target.empty()) browser.Call("Target.closeTarget", {{"targetId", target}}, {}, 5s);
    if (!context.empty())
        browser.Call("Target.disposeBrowserContext", {{"browserContextId", context}}, {}, 5s);
}

bool BrowserTab::Load(const std::string& url) {
    browser.DropEvents("Page.loadEventFired", session);
    const std::optional<Json> navigated = browser.Call("Page.navigate", {{"url", url}}, session);
    if (!navigated || navigated->contains("errorText")) return false;
    return browser.WaitForEvent("Page.loadEventFired", session).has_value();
}

bool BrowserTab::RunAndWaitForLoad(const std::string& expression) {
    browser.DropEvents("Page.loadEventFired", session);
    if (!Evaluate(expression)) return false;
    return browser.WaitForEvent("Page.loadEventFired", session).has_value();
}

std::optional<Json> BrowserTab::Evaluate(const std::string& expression) {
    const std::optional<Json> reply =
        browser.Call("Runtime.evaluate",
                     {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}}, session);
    if (!reply || reply->contains("exceptionDetails")) return std::nullopt;
    const Json& result = (*reply)["result"];
    return result.contains("value") ? result["value"] : Json();
}

bool BrowserTab::WaitUntil(const std::string& condition, std::chrono::milliseconds bound) {
    const auto deadline = Clock::now() + bound;
    const std::string expression = "(async () => Boolean(await (" + condition + ")))()";
    while (Clock::now() < deadline) {
        if (Evaluate(expression).value_or(false) == true) return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

bool BrowserTab::Screenshot(const std::filesystem::path& png) {
    const std::optional<Json> metrics = browser.Call("Page.getLayoutMetrics", Json::object(), session);
    if (!metrics) return false;
    const Json& size = (*metrics)["cssContentSize"];
    const Json& view = (*metrics)["cssLayoutViewport"];
    const Json clip = {{"x", 0},
                       {"y", 0},
                       {"width", view["clientWidth"]},
                       {"height", std::max(size["height"].get<double>(), view["clientHeight"].get<double>())},
                       {"scale", 1}};
    const std::optional<Json> shot =
        browser.Call("Page.captureScreenshot",
                     {{"format", "png"}, {"clip", clip}, {"captureBeyondViewport", true}}, session);
    if (!shot) return false;
    std::ofstream out(png, std::ios::binary);
    out << Base64Decode((*shot)["data"].get<std::string>());
    return static_cast<bool>(out);
}

std::optional<Json> BrowserTab::Send(const std::string& method, const Json& params) {
    return browser.Call(method, params, session);
}

std::optional<Json> BrowserTab::WaitForEvent(const std::string& method) {
    return browser.WaitForEvent(method, session);
}

void BrowserTab::DropEvents(const std::string& method) { browser.DropEvents(method, session); }

std::vector<Json> BrowserTab::TakeEvents(const std::string& method) {
    return browser.TakeEvents(method, session);
}

bool BrowserTab::Key(const KeyboardKey& key, bool down, std::string_view text) {
    Json event = {{"type", down ? (text.empty() ? "rawKeyDown" : "keyDown") : "keyUp"},
                  {"code", key.code},
                  {"key", key.key},
                  {"windowsVirtualKeyCode", key.keyCode},
                  {"nativeVirtualKeyCode", key.keyCode}};
    if (down && !text.empty()) event["text"] = text;
    return Send("Input.dispatchKeyEvent", event).has_value();
}

bool BrowserTab::Type(std::string_view text) {
    for (const char c : text) {
        const KeyboardKey key = KeyForCharacter(c);
        if (!Key(key, true, std::string_view(&c, 1)) || !Key(key, false)) return false;
    }
    return true;
}

std::optional<Json> BrowserTab::ReduceCanvas(const std::string& canvasId, const std::string& reduce) {
    // Read through a 2D copy: it works for WebGL and 2D canvases alike.
    return Evaluate(
        "((id, reduce) => {"
        "  const shown = document.getElementById(id);"
        "  if (!shown) return null;"
        "  const copy = document.createElement('canvas');"
        "  copy.width = shown.width;"
        "  copy.height = shown.height;"
        "  const context = copy.getContext('2d');"
        "  context.drawImage(shown, 0, 0);"
        "  return reduce(context.getImageData(0, 0, copy.width, copy.height).data, copy.width, copy.height);"
        "})(" +
        Json(canvasId).dump() + ", " + reduce + ")");
}

std::optional<CanvasPixels> BrowserTab::ReadCanvas(const std::string& canvasId) {
    const std::optional<Json> read = ReduceCanvas(canvasId, R"js((rgba, width, height) => {
        let lit = 0;
        const colours = new Set();
        for (let i = 0; i < rgba.length; i += 4) {
            if (rgba[i] | rgba[i + 1] | rgba[i + 2]) {
                ++lit;
                colours.add((rgba[i] << 16) | (rgba[i + 1] << 8) | rgba[i + 2]);
            }
        }
        return {width, height, lit, colours: colours.size};
    })js");
    if (!read || !read->is_object()) return std::nullopt;
    return CanvasPixels{(*read)["width"], (*read)["height"], (*read)["lit"], (*read)["colours"]};
}

KeyboardKey KeyForCharacter(char c) {
    if (c >= 'a' && c <= 'z')
        return {std::string("Key") + static_cast<char>(c - 'a' + 'A'), std::string(1, c), c - 'a' + 'A'};
    if (c >= 'A' && c <= 'Z') return {std::string("Key") + c, std::string(1, c), c};
    if (c >= '0' && c <= '9') return {std::string("Digit") + c, std::string(1, c), c};
    if (c == ' ') return {"Space", " ", 32};
    return {"", std::string(1, c), 0};
}

std::optional<std::pair<int, int>> PngSize(const std::filesystem::path& png) {
    std::ifstream in(png, std::ios::binary);
    unsigned char header[24] = {};
    if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return std::nullopt;
    if (std::memcmp(header, "\x89PNG\r\n\x1a\n", 8) != 0 || std::memcmp(header + 12, "IHDR", 4) != 0) {
        return std::nullopt;
    }
    const auto big = [&](int at) {
        return static_cast<int>((header[at] << 24) | (header[at + 1] << 16) | (header[at + 2] << 8) |
                                header[at + 3]);
    };
    return std::make_pair(big(16), big(20));
}

}  // namespace web_test
