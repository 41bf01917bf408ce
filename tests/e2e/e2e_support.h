// Helpers for the whole-game tests: child processes that die with the test,
// the real score server on an ephemeral loopback port, valid submissions and
// a look into the server's database.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "tests/server/server_test_support.h"

extern char** environ;

namespace e2e {

using namespace std::chrono_literals;

inline std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The full path of an executable found on PATH, or empty.
inline std::string FindOnPath(std::string_view name) {
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/usr/bin:/bin";
    while (!dirs.empty()) {
        const std::size_t colon = dirs.find(':');
        const std::filesystem::path candidate = std::filesystem::path(dirs.substr(0, colon)) / name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
        if (colon == std::string_view::npos) break;
        dirs.remove_prefix(colon + 1);
    }
    return {};
}

// This process's environment without the variables named in `drop`, plus `add` ("NAME=value").
inline std::vector<std::string> Environment(const std::vector<std::string>& drop,
                                            const std::vector<std::string>& add) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string_view entry = *e;
        const std::string_view name = entry.substr(0, entry.find('='));
        bool keep = true;
        for (const std::string& d : drop) keep = keep && name != d;
        for (const std::string& a : add) keep = keep && name != std::string_view(a).substr(0, a.find('='));
        if (keep) env.emplace_back(entry);
    }
    env.insert(env.end(), add.begin(), add.end());
    return env;
}

// The variables that give a child a home of its own under `home`: the game's
// data, state and config folders and whatever libraries keep in a home (the
// sound server's cookie, shader caches) go there, never into the real one.
inline std::vector<std::string> HomeUnder(const std::filesystem::path& home) {
    return {"HOME=" + home.string(), "XDG_DATA_HOME=" + (home / ".local/share").string(),
            "XDG_STATE_HOME=" + (home / ".local/state").string(),
            "XDG_CONFIG_HOME=" + (home / ".config").string(), "XDG_CACHE_HOME=" + (home / ".cache").string()};
}

// How to start a child: SpawnOptions({path, arg...}).Cwd(dir).Stderr(file)...
struct SpawnOptions {
    std::vector<std::string> args;  // args[0] is the executable's path
    std::vector<std::string> env = Environment({}, {});
    std::string cwd;  // empty: the test's own
    std::string stdoutPath = "/dev/null";
    std::string stderrPath = "/dev/null";
    int fd3 = -1;  // handed to the child as its descriptor 3

    explicit SpawnOptions(std::vector<std::string> arguments) : args(std::move(arguments)) {}
    SpawnOptions& Env(std::vector<std::string> e) { return env = std::move(e), *this; }
    SpawnOptions& Cwd(std::string dir) { return cwd = std::move(dir), *this; }
    SpawnOptions& Stdout(std::string path) { return stdoutPath = std::move(path), *this; }
    SpawnOptions& Stderr(std::string path) { return stderrPath = std::move(path), *this; }
    SpawnOptions& Fd3(int fd) { return fd3 = fd, *this; }
};

// One child process, killed and reaped when the object goes. The child also
// gets SIGKILL when the test process dies, so a crashed or killed test leaves
// no X server, game or score server behind.
struct ChildProcess {
    pid_t pid = -1;
    std::optional<int> exitStatus;  // the wait status, once reaped

    ChildProcess() = default;
    explicit ChildProcess(const SpawnOptions& options) { Start(options); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() { Kill(); }

    bool Start(const SpawnOptions& options) {
        std::vector<std::string> args = options.args, env = options.env;
        std::vector<char*> argv, envp;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        for (std::string& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        const pid_t parent = ::getpid();
        pid = ::fork();
        if (pid == 0) {
            // Only async-signal-safe calls between fork and exec.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent) ::_exit(127);
            if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) ::_exit(127);
            const int in = ::open("/dev/null", O_RDONLY);
            const int out = ::open(options.stdoutPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            const int err = ::open(options.stderrPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            if (in < 0 || out < 0 || err < 0) ::_exit(127);
            ::dup2(in, 0);
            ::dup2(out, 1);
            ::dup2(err, 2);
            // dup2 onto itself would keep the close-on-exec flag.
            if (options.fd3 == 3) ::fcntl(3, F_SETFD, 0);
            if (options.fd3 >= 0 && options.fd3 != 3) ::dup2(options.fd3, 3);
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        return pid > 0;
    }

    bool Running() {
        Poll();
        return pid > 0;
    }

    // The wait status once the child has ended within `timeout`; nothing otherwise.
    std::optional<int> WaitFor(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (Running() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
        return exitStatus;
    }

    void Kill() {
        if (pid <= 0) return;
        ::kill(pid, SIGKILL);
        int status = 0;
        if (::waitpid(pid, &status, 0) == pid) exitStatus = status;
        pid = -1;
    }

private:
    void Poll() {
        if (pid <= 0) return;
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            exitStatus = status;
            pid = -1;
        }
    }
};

// Runs a short command to its end, within `timeout`; its output lands in
// stdoutPath. The exit code, or -1 when it did not end normally in time.
inline int RunCommand(SpawnOptions options, std::chrono::milliseconds timeout = 10s) {
    ChildProcess child(options);
    const std::optional<int> status = child.WaitFor(timeout);
    if (!status || !WIFEXITED(*status)) return -1;
    return WEXITSTATUS(*status);
}

// The real munchet-scores on 127.0.0.1 and a port the system picks, with its
// database in a scratch directory and no rate limit.
struct ScoreServer {
    ScratchDir dir;
    ChildProcess process;
    int port = 0;

    std::string Database() const { return dir.File("scores.db"); }
    std::string Log() const { return ReadText(dir.File("server.log")); }
    std::string Host() const { return "127.0.0.1:" + std::to_string(port); }

    // Starts the server on listenPort (0: one the system picks), with any
    // further options, and waits up to 10 s until it listens.
    bool Start(int listenPort = 0, const std::vector<std::string>& options = {}) {
        const std::string portFile = dir.File("port");
        std::filesystem::remove(portFile);
        std::vector<std::string> command = {MUNCHET_SCORES_BIN,
                                            "--listen",
                                            "127.0.0.1:" + std::to_string(listenPort),
                                            "--db",
                                            Database(),
                                            "--port-file",
                                            portFile,
                                            "--rate-limit",
                                            "0"};
        command.insert(command.end(), options.begin(), options.end());
        process.Start(SpawnOptions(command).Stderr(dir.File("server.log")));
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (process.Running() && std::chrono::steady_clock::now() < deadline) {
            port = std::atoi(ReadText(portFile).c_str());
            if (port > 0) return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    // Ends it at once, as a crash or a pulled cable would; Start may follow.
    void Stop() { process.Kill(); }

    // How many requests for this path (without query) the server has logged.
    int Requests(std::string_view path) const {
        const std::string log = Log();
        const std::string needle = " GET " + std::string(path) + " ";
        int n = 0;
        for (std::size_t at = log.find(needle); at != std::string::npos; at = log.find(needle, at + 1)) ++n;
        return n;
    }
    // The server logs a request as it answers it: gives the log up to 2 s to
    // show `count` requests for the path, then tells how many it shows.
    int WaitForRequests(std::string_view path, int count) const {
        const auto deadline = std::chrono::steady_clock::now() + 2s;
        while (Requests(path) < count && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(5ms);
        return Requests(path);
    }
};

inline constexpr std::string_view addPath = "/hosted/vlkn/scores/pr/add.php";
inline constexpr std::string_view viewPath = "/hosted/vlkn/scores/pr/view.php";

// A finished game's counters, as stored by the server.
struct StoredRow {
    std::string name;
    std::int64_t score = 0, level = 0, munchets = 0, food = 0;
    bool operator==(const StoredRow&) const = default;
};

// The score a game reaches with these counters: 100 a munchet unit, the
// bonuses 10000 x level of every level reached, 3 less a unit of food.
inline std::int64_t ScoreFor(std::int64_t level, std::int64_t munchets, std::int64_t food) {
    return 100 * munchets + 5000 * level * (level + 1) - 3 * food;
}

// Escapes a name the way the game's client does: all but A-Z a-z 0-9 - . _ ~.
inline std::string Escape(std::string_view text) {
    std::string out;
    for (const unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += "0123456789ABCDEF"[c >> 4];
            out += "0123456789ABCDEF"[c & 15];
        }
    }
    return out;
}

// Sends one valid game to the server, as the game would; the HTTP status.
inline int Submit(int port, const StoredRow& row) {
    const std::string target = std::string(addPath) + "?name=" + Escape(row.name) +
                               "&score=" + std::to_string(row.score) + "&level=" + std::to_string(row.level) +
                               "&munchets=" + std::to_string(row.munchets) +
                               "&food=" + std::to_string(row.food);
    return RawGet(port, target).status;
}

// Every stored row, in the order the server stored them.
inline std::vector<StoredRow> StoredRows(const std::string& database, const std::string& where = "1") {
    std::vector<StoredRow> rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* query = nullptr;
        const std::string sql =
            "SELECT name, score, level, munchets, food FROM scores WHERE " + where + " ORDER BY id";
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &query, nullptr) == SQLITE_OK) {
            while (sqlite3_step(query) == SQLITE_ROW) {
                const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(query, 0));
                rows.push_back({name ? name : "", sqlite3_column_int64(query, 1),
                                sqlite3_column_int64(query, 2), sqlite3_column_int64(query, 3),
                                sqlite3_column_int64(query, 4)});
            }
        }
        sqlite3_finalize(query);
    }
    sqlite3_close(db);
    return rows;
}

}  // namespace e2e
