// An X session for the window tests: a virtual display (Xvfb) and xdotool
// to type into windows on it.
#pragma once

#include <fcntl.h>
#include <poll.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"

namespace e2e {

// Xvfb on a display number it picks itself, ready once it has told which.
struct VirtualDisplay {
    ChildProcess process;
    std::string name;  // ":N"

    // screen: "WIDTHxHEIGHTxDEPTH".
    bool Start(const std::string& xvfb, const std::string& logPath,
               const std::string& screen = "1280x1024x24") {
        int pipeEnds[2];
        if (::pipe2(pipeEnds, O_CLOEXEC) != 0) return false;
        process.Start(SpawnOptions({xvfb, "-displayfd", "3", "-screen", "0", screen, "-nolisten", "tcp"})
                          .Stdout(logPath)
                          .Stderr(logPath)
                          .Fd3(pipeEnds[1]));
        ::close(pipeEnds[1]);
        std::string number;
        const auto deadline = std::chrono::steady_clock::now() + 15s;
        while (std::chrono::steady_clock::now() < deadline && number.find('\n') == std::string::npos) {
            pollfd entry{pipeEnds[0], POLLIN, 0};
            if (::poll(&entry, 1, 100) <= 0) continue;
            char c[16];
            const ssize_t n = ::read(pipeEnds[0], c, sizeof c);
            if (n <= 0) break;
            number.append(c, static_cast<std::size_t>(n));
        }
        ::close(pipeEnds[0]);
        if (number.find('\n') == std::string::npos) return false;
        name = ":" + number.substr(0, number.find('\n'));
        return true;
    }
};

// xdotool against one display; every call is bounded in time.
struct XdoTool {
    std::string path, display, scratch;

    int Run(std::vector<std::string> args, std::chrono::milliseconds timeout = 5s) const {
        args.insert(args.begin(), path);
        return RunCommand(SpawnOptions(args)
                              .Env(Environment({}, {"DISPLAY=" + display}))
                              .Stdout(scratch)
                              .Stderr(scratch + ".err"),
                          timeout);
    }

    // The id of the first window with this title, waiting up to `timeout`.
    unsigned long FindWindow(const std::string& title, std::chrono::milliseconds timeout) const {
        std::filesystem::remove(scratch);
        if (Run({"search", "--sync", "--name", title}, timeout) != 0) return 0;
        return std::strtoul(ReadText(scratch).c_str(), nullptr, 10);
    }
};

// Keys held in the game's window, released when done.
struct HeldKeys {
    const XdoTool& xdo;
    std::string window;
    std::map<std::string, bool> held;

    void Set(const std::string& key, bool down) {
        if (held[key] == down) return;
        xdo.Run({down ? "keydown" : "keyup", "--window", window, key});
        held[key] = down;
    }
    void ReleaseAll() {
        for (auto& [key, down] : held)
            if (down) Set(key, false);
    }
    ~HeldKeys() { ReleaseAll(); }
};

}  // namespace e2e
