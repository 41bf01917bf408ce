// Start-up: from starting the real game to its first frame on screen. The
// game runs in a window on a virtual X display (Xvfb, started here; SDL's
// offscreen driver when there is none, or when asked), with a small probe preloaded that
// reports when the libraries are loaded, when the window and its renderer
// exist, when the sound device was asked for and when the first drawn frame
// is presented. The time is the median
// start (the machine may be busy with other work: medians are steadier than
// means), and each step is printed as a counter, its median in milliseconds:
//   load      start of the process to the end of dynamic loading
//   window    to the window made (SDL and the display connection)
//   renderer  to the renderer made (the GL stack)
//   sound     to the sound device opened, or found missing (OpenAL)
//   frame     to the first drawn frame presented (the game's resources,
//             settings and first frame)
// MUNCHET_STARTUP_GAME=path times another build of the game instead.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

std::int64_t Now() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

struct Child {
    pid_t pid = -1;
    ~Child() { Stop(); }
    void Stop() {
        if (pid <= 0) return;
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
};

// Starts args with the environment env; descriptor keep stays open in the child.
bool Spawn(Child& child, const std::vector<std::string>& args, const std::vector<std::string>& env,
           int keep = -1) {
    std::vector<char*> argv, envp;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (keep >= 0) posix_spawn_file_actions_adddup2(&actions, keep, keep);  // clears close-on-exec
    const int failed = posix_spawn(&child.pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed) child.pid = -1;
    return !failed;
}

// Reads exactly n bytes within the deadline (monotonic nanoseconds).
bool ReadFully(int fd, void* out, std::size_t n, std::int64_t deadline) {
    auto* bytes = static_cast<char*>(out);
    while (n > 0) {
        const std::int64_t left = deadline - Now();
        if (left <= 0) return false;
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, static_cast<int>(left / 1'000'000) + 1) <= 0) continue;
        const ssize_t got = read(fd, bytes, n);
        if (got <= 0) return false;
        bytes += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& add) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool replaced = entry.starts_with("SDL_VIDEODRIVER=");
        for (const std::string& a : add)
            replaced = replaced || entry.starts_with(a.substr(0, a.find('=') + 1));
        if (!replaced) env.push_back(entry);
    }
    env.insert(env.end(), add.begin(), add.end());
    return env;
}

// The virtual display every run shares: ":N", or empty when there is no Xvfb.
struct Display {
    Child xvfb;
    std::string name;

    Display() {
        const char* candidates[] = {"/usr/bin/Xvfb", "/usr/local/bin/Xvfb"};
        for (const char* path : candidates) {
            if (access(path, X_OK) != 0) continue;
            int ends[2];
            if (pipe2(ends, O_CLOEXEC) != 0) return;
            Spawn(xvfb,
                  {path, "-displayfd", std::to_string(ends[1]), "-screen", "0", "1280x1024x24", "-nolisten",
                   "tcp"},
                  EnvironmentWith({}), ends[1]);
            close(ends[1]);
            std::string number;
            char c = 0;
            while (ReadFully(ends[0], &c, 1, Now() + 10'000'000'000) && c != '\n') number += c;
            close(ends[0]);
            if (c == '\n' && !number.empty()) name = ":" + number;
            return;
        }
    }
};

void BM_StartToFirstFrame(benchmark::State& state) {
    static Display display;
    const std::filesystem::path work =
        std::filesystem::temp_directory_path() / ("munchet-startup-" + std::to_string(getpid()));
    std::filesystem::create_directories(work);
    std::error_code ignored;
    std::filesystem::create_directory_symlink(std::filesystem::path(MUNCHET_SOURCE_DIR) / "data",
                                              work / "data", ignored);
    const std::string previous = std::filesystem::current_path().string();
    std::filesystem::current_path(work);

    const char* other = std::getenv("MUNCHET_STARTUP_GAME");
    const std::string gamePath = other && *other ? other : MUNCHET_GAME_BIN;
    // load, window, renderer, sound, frame, whole start: milliseconds
    std::array<std::vector<double>, 6> steps;
    for (auto _ : state) {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) {
            state.SkipWithError("no pipe");
            break;
        }
        std::vector<std::string> add = {"LD_PRELOAD=" MUNCHET_STARTUP_PROBE,
                                        "MUNCHET_PROBE_FD=" + std::to_string(ends[1])};
        const bool offscreen = state.range(0) == 1 || display.name.empty();
        if (offscreen)
            add.push_back("SDL_VIDEODRIVER=offscreen");
        else
            add.push_back("DISPLAY=" + display.name);
        Child game;
        const std::int64_t started = Now();
        const bool spawned = Spawn(game, {gamePath, "/WINDOW"}, EnvironmentWith(add), ends[1]);
        close(ends[1]);
        std::array<std::int64_t, 6> at{started, 0, 0, 0, 0, 0};  // by step
        std::int64_t record[2] = {0, 0};
        while (spawned && at[5] == 0 && ReadFully(ends[0], record, sizeof record, started + 20'000'000'000))
            if (record[0] >= 1 && record[0] <= 5) at[static_cast<std::size_t>(record[0])] = record[1];
        close(ends[0]);
        game.Stop();
        if (std::find(at.begin(), at.end(), 0) != at.end()) {
            state.SkipWithError("the game reached not every step up to its first frame within 20 s");
            break;
        }
        state.SetIterationTime(static_cast<double>(at[5] - started) * 1e-9);
        for (std::size_t step = 0; step < 5; ++step)
            steps[step].push_back(static_cast<double>(at[step + 1] - at[step]) * 1e-6);
        steps[5].push_back(static_cast<double>(at[5] - started) * 1e-6);
    }
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(work, ignored);
    const char* names[] = {"load_ms", "window_ms", "renderer_ms", "sound_ms", "frame_ms", "median_ms"};
    for (std::size_t step = 0; step < steps.size(); ++step) {
        std::vector<double>& values = steps[step];
        if (values.empty()) continue;
        std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
        state.counters[names[step]] = values[values.size() / 2];
    }
    state.SetLabel(state.range(0) == 1 || display.name.empty() ? "offscreen driver" : "Xvfb");
}
// Arg 0: a window on Xvfb (when installed); 1: SDL's offscreen driver (EGL).
BENCHMARK(BM_StartToFirstFrame)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
