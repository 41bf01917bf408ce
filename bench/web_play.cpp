// The browser game's size and speed, served by the real munchet-scores and
// played by Debian's headless Chromium on software GL (SwiftShader):
//   download     what the page loads, as the server sends it (the .gz
//                copies), per file and in all; target 3 MB
//   first frame  from the page's request (its navigation start) to its first
//                frame presented, the median of 5 loads in fresh tabs; target 1.5 s
//   frame cost   one frame run and drawn, median and 90th percentile of the
//                last 600 of the worst-case frame's 1000 on its own page
//                (bench/browser_frame_page.cpp, built beside the game into
//                bench/); without that page, of a verified game watched
//                in the game's page; target 2 ms median
//   state hash   that game's HashState at its end in the page and natively
// Usage: bench_web_play [PLAY_DIR]; by default the build's MUNCHET_WEB_FILES.
// Runs from the source tree (the native watch reads data/).
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/web/headless_browser.h"
#include "tests/web/watched_game.h"

using namespace std::chrono_literals;

namespace {

namespace fs = std::filesystem;
using web_test::BrowserTab;
using web_test::HeadlessBrowser;
using web_test::Json;

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5)];
}

// A fresh tab on the page, focused as a player's would be.
bool OpenPage(BrowserTab& tab, const std::string& url) {
    return tab.Ok() && tab.Send("Emulation.setFocusEmulationEnabled", {{"enabled", true}}) && tab.Load(url);
}

// Opens url in a fresh tab and waits (within bound) until the page's frame
// loop has ended; the tab stays open for what is read after.
bool RunToTheEnd(BrowserTab& tab, const std::string& url, std::chrono::milliseconds bound) {
    return OpenPage(tab, url) && tab.WaitUntil(pageEnded, bound);
}

// What the page timed of each of its last frames, milliseconds.
std::vector<double> FrameCosts(BrowserTab& tab) {
    std::vector<double> costs;
    for (const Json& ms : tab.Evaluate("munchet.frameCost").value_or(Json::array())) costs.push_back(ms);
    return costs;
}

void PrintFrameCosts(const std::vector<double>& costs, const std::string& scene) {
    std::printf(
        "frame cost: %.3f ms median, %.3f ms 90th percentile, over %zu frames of %s (target 2 ms median)\n",
        Percentile(costs, 0.5), Percentile(costs, 0.9), costs.size(), scene.c_str());
}

void PrintDownload(const fs::path& play) {
    std::uintmax_t total = 0;
    std::printf("download, as sent (gzip -9):\n");
    for (const char* name : {"index.html", "play.js", "play.css", "munchet.js", "munchet.worker.js",
                             "munchet.wasm", "munchet.data"}) {
        const fs::path gz = play / (std::string(name) + ".gz");
        const bool compressed = fs::exists(gz);
        std::error_code missing;
        const std::uintmax_t size = fs::file_size(compressed ? gz : play / name, missing);
        if (missing) {
            std::printf("  %-18s missing\n", name);
            continue;
        }
        total += size;
        std::printf("  %-18s %9.1f KB%s\n", name, static_cast<double>(size) / 1024,
                    compressed ? "" : " (no .gz)");
    }
    std::printf("  %-18s %9.2f MB (target 3 MB)\n", "in all", static_cast<double>(total) / (1024 * 1024));
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path play = argc > 1 ? argv[1] : MUNCHET_WEB_PLAY_DIR;
    if (play.empty() || !fs::exists(play / "index.html")) {
        std::fprintf(stderr, "bench_web_play: no browser game in \"%s\": run scripts/build_web.sh\n",
                     play.c_str());
        return 1;
    }
    PrintDownload(play);

    ScratchDir dir;
    const std::string db = dir.File("scores.db");
    HeadlessBrowser browser;
    if (!browser.Start()) {
        std::fprintf(stderr, "bench_web_play: %s\n", browser.Error().c_str());
        return 1;
    }
    // One server per folder of pages, each at /play/.
    std::vector<std::unique_ptr<ServerProcess>> servers;
    const auto serve = [&](const fs::path& folder) -> std::string {
        const std::string n = std::to_string(servers.size());
        const std::string portFile = dir.File("port" + n);
        servers.push_back(std::make_unique<ServerProcess>(
            MUNCHET_SCORES_BINARY,
            std::vector<std::string>{"--listen", "127.0.0.1:0", "--db", servers.empty() ? db : db + n,
                                     "--port-file", portFile, "--rate-limit", "0", "--play-files",
                                     folder.string()},
            dir.File("server.log")));
        if (!servers.back()->WaitForPort(portFile)) return {};
        return "http://127.0.0.1:" + std::to_string(servers.back()->port);
    };
    const std::string origin = serve(play);
    if (origin.empty()) {
        std::fprintf(stderr, "bench_web_play: no server\n%s", ReadFile(dir.File("server.log")).c_str());
        return 1;
    }

    std::vector<double> firstFrames;
    for (int load = 0; load < 5; ++load) {
        BrowserTab tab(browser, {});
        if (!OpenPage(tab, origin + "/play/") || !tab.WaitUntil("munchet.firstFrameAt !== null", 20s)) {
            std::fprintf(stderr, "bench_web_play: load %d drew no frame %s\n", load + 1,
                         browser.Error().c_str());
            return 1;
        }
        firstFrames.push_back(tab.Evaluate("munchet.firstFrameAt").value_or(Json(0)).get<double>());
    }
    std::printf(
        "first frame: %.0f ms after the request, median of 5 fresh tabs (%.0f to %.0f; target 1500)\n",
        Percentile(firstFrames, 0.5), Percentile(firstFrames, 0), Percentile(firstFrames, 1));

    const fs::path crowd = play.parent_path() / "bench";
    const bool crowdPage = fs::exists(crowd / "index.html");
    if (crowdPage) {
        BrowserTab tab(browser, {});
        const std::string crowdOrigin = serve(crowd);
        if (crowdOrigin.empty() || !RunToTheEnd(tab, crowdOrigin + "/play/", 120s)) {
            std::fprintf(stderr, "bench_web_play: the worst-case page did not run to its end %s\n",
                         browser.Error().c_str());
            return 1;
        }
        PrintFrameCosts(FrameCosts(tab), "the worst-case frame (501 food items, 400 munchets, two ghosts)");
    }

    const VerifiedRow row = MakeVerifiedRow(servers.front()->port, db);
    if (row.replayId.empty()) {
        std::fprintf(stderr, "bench_web_play: the server proved no game\n%s",
                     ReadFile(dir.File("server.log")).c_str());
        return 1;
    }
    BrowserTab tab(browser, {});
    const auto lasting = std::chrono::milliseconds(row.replay.frames.size() * 10);
    // Once its last frame has run, the watched game stands still.
    if (!OpenPage(tab, origin + "/play/?watch=" + row.replayId) ||
        !tab.WaitUntil("munchet.frames() >= " + std::to_string(row.replay.frames.size()),
                       20s + 2 * lasting)) {
        std::fprintf(stderr, "bench_web_play: the watch did not reach its end %s\n", browser.Error().c_str());
        return 1;
    }
    if (!crowdPage)
        PrintFrameCosts(FrameCosts(tab), "a watched " + std::to_string(row.replay.frames.size()) +
                                             "-frame game (no worst-case page was built)");

    const std::string inPage =
        tab.Evaluate("munchet.state().stateHash").value_or(Json("")).get<std::string>();
    char native[17];
    std::snprintf(native, sizeof native, "%016llx",
                  static_cast<unsigned long long>(WatchNatively(row.replay).stateHash));
    std::printf("state hash at the watched game's end: %s in the page, %s natively: %s\n", inPage.c_str(),
                native, inPage == native ? "the same" : "DIFFERENT");
    return inPage == native ? 0 : 1;
}
