// Helpers shared by the score server tests and its load benchmark: a scratch
// directory, the real executable as a child process, and a tiny raw HTTP/1.1
// client over loopback, which sends request targets exactly as given (an
// ordinary client would re-encode them).
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
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
#include <vector>

#include "tests/support/scratch_dir.h"

extern char** environ;

// A CPU budget for the server's verifier, as an option's value: what a game
// takes to play again in this build, which sanitizers slow down.
inline std::string VerifierCpuMs(int ms) { return std::to_string(ms * MUNCHET_SLOW_BUILD_FACTOR); }

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs SQL through a connection of its own, as an administrator's sqlite3 shell
// would; the error message, empty on success.
inline std::string ExecuteOutside(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    std::string error;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) error = "cannot open " + path;
    sqlite3_busy_timeout(db, 5000);
    char* message = nullptr;
    if (error.empty() && sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK)
        error = message ? message : "failed";
    sqlite3_free(message);
    sqlite3_close(db);
    return error;
}

// The first column of every row a query yields, read through a connection of
// its own, each value's bytes as stored.
inline std::vector<std::string> QueryOutside(const std::string& path, const char* sql) {
    std::vector<std::string> values;
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, 0));
            values.emplace_back(bytes ? bytes : "",
                                static_cast<std::size_t>(sqlite3_column_bytes(statement, 0)));
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return values;
}

// A score database of the server's layout, 3000 rows long, with the pages of
// its table and index scribbled over: SQLite still opens it, but it is damaged.
inline void MakeCorruptScoreDatabase(const std::string& path) {
    ExecuteOutside(path,
                   "CREATE TABLE scores (id INTEGER PRIMARY KEY, name TEXT NOT NULL, score INTEGER NOT NULL,"
                   " level INTEGER NOT NULL, munchets INTEGER NOT NULL, food INTEGER NOT NULL,"
                   " time INTEGER NOT NULL, client TEXT NOT NULL);"
                   "CREATE INDEX scores_rank ON scores (score DESC, id ASC); PRAGMA user_version = 1;"
                   "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000)"
                   " INSERT INTO scores (name, score, level, munchets, food, time, client)"
                   " SELECT 'p' || i, 100 * i, 0, i, 0, 0, 'x' FROM n;");
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(3 * 4096);  // past the header and schema pages
    const std::string junk(8 * 4096, '\x5a');
    file.write(junk.data(), static_cast<std::streamsize>(junk.size()));
}

// A TCP socket to 127.0.0.1:port from the loopback address 127.0.0.0 +
// sourceHost (1..16777214; all of 127/8 is loopback on Linux, so tests can
// play many clients), or -1. nonBlocking: return at once and let the
// connection complete in the background.
inline int ConnectLoopback(int port, int sourceHost = 1, bool nonBlocking = false) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | (nonBlocking ? SOCK_NONBLOCK : 0), 0);
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(0x7f000000u | (static_cast<std::uint32_t>(sourceHost) & 0xffffffu));
    if (sourceHost != 1 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 && errno != EINPROGRESS) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A port of 127.0.0.1 that was free a moment ago, or 0.
inline int FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

// A connected loopback socket, closed on destruction; fd < 0 when the connection failed.
struct LoopbackSocket {
    int fd = -1;

    explicit LoopbackSocket(int port, int sourceHost = 1) : fd(ConnectLoopback(port, sourceHost)) {}
    LoopbackSocket(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(const LoopbackSocket&) = delete;
    ~LoopbackSocket() {
        if (fd >= 0) ::close(fd);
    }

    bool Send(std::string_view bytes) const {
        while (!bytes.empty()) {
            const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n <= 0) return false;
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }

    // Reads until the peer closes or `timeout` passes. closed tells which.
    std::string ReadAll(std::chrono::milliseconds timeout, bool* closed = nullptr) const {
        std::string data;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        if (closed) *closed = false;
        while (true) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return data;
            pollfd entry{fd, POLLIN, 0};
            if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0) return data;
            char chunk[4096];
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0) {
                if (closed) *closed = true;
                return data;
            }
            data.append(chunk, static_cast<std::size_t>(n));
        }
    }
};

struct RawReply {
    int status = 0;       // 0: no reply
    std::string headers;  // status line and headers
    std::string body;
};

inline RawReply ParseRawReply(const std::string& text) {
    RawReply reply;
    const std::size_t end = text.find("\r\n\r\n");
    if (end == std::string::npos || text.compare(0, 9, "HTTP/1.1 ") != 0) return reply;
    reply.status = std::atoi(text.c_str() + 9);
    reply.headers = text.substr(0, end);
    reply.body = text.substr(end + 4);
    return reply;
}

// One request without a body on its own connection; extraHeaders are
// complete "Name: value\r\n" lines.
inline RawReply RawRequest(std::string_view method, int port, std::string_view target,
                           std::string_view extraHeaders = {}) {
    LoopbackSocket socket(port);
    if (socket.fd < 0) return {};
    std::string request(method);
    request += ' ';
    request += target;
    request += " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
    request += extraHeaders;
    request += "\r\n";
    if (!socket.Send(request)) return {};
    return ParseRawReply(socket.ReadAll(std::chrono::seconds(10)));
}

inline RawReply RawGet(int port, std::string_view target, std::string_view extraHeaders = {}) {
    return RawRequest("GET", port, target, extraHeaders);
}

// One POST on its own connection with body as application/octet-stream;
// lengthHeader, when given, replaces the true Content-Length line and the
// body is not sent.
inline RawReply RawPost(int port, std::string_view target, std::string_view body,
                        std::optional<std::string> lengthHeader = std::nullopt) {
    LoopbackSocket socket(port);
    std::string request = "POST " + std::string(target) +
                          " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                          "Content-Type: application/octet-stream\r\n" +
                          lengthHeader.value_or("Content-Length: " + std::to_string(body.size()) + "\r\n") +
                          "\r\n";
    if (!lengthHeader) request += body;
    if (socket.fd < 0 || !socket.Send(request)) return {};
    return ParseRawReply(socket.ReadAll(std::chrono::seconds(60)));
}

// A POST of body to target from 127.0.0.sourceHost, its body sent in ten
// pieces spread over `spread`. The reply, or status 0 when the server closed
// the connection without one.
inline RawReply PostFrom(int port, int sourceHost, const std::string& target, std::string_view body,
                         std::chrono::steady_clock::duration spread = {}) {
    LoopbackSocket socket(port, sourceHost);
    const std::string head = "POST " + target +
                             " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                             "Content-Length: " +
                             std::to_string(body.size()) + "\r\n\r\n";
    if (socket.fd < 0 || !socket.Send(head)) return {};
    const std::size_t piece = body.size() / 10 + 1;
    for (std::size_t sent = 0; sent < body.size(); sent += piece) {
        if (spread > std::chrono::steady_clock::duration{}) std::this_thread::sleep_for(spread / 10);
        if (!socket.Send(body.substr(sent, piece))) return {};
    }
    return ParseRawReply(socket.ReadAll(std::chrono::seconds(60)));
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// The value of a header in a reply's head ("" when absent); names match in any case.
inline std::string HeaderValue(const RawReply& reply, std::string_view name) {
    for (const std::string& line : Lines(reply.headers)) {
        const std::size_t colon = line.find(':');
        if (colon != name.size() || strncasecmp(line.c_str(), name.data(), name.size()) != 0) continue;
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        while (!value.empty() && (value.back() == '\r' || value.back() == ' ')) value.pop_back();
        return value;
    }
    return {};
}

// One run of the real munchet-scores, with stderr appended to a file.
struct ServerProcess {
    pid_t pid = -1;
    int port = -1;

    ServerProcess(const std::string& binary, const std::vector<std::string>& args,
                  const std::string& stderrPath) {
        std::vector<std::string> argv = {binary};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> pointers;
        for (std::string& a : argv) pointers.push_back(a.data());
        pointers.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, stderrPath.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0644);
        if (posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, pointers.data(), environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;
    ~ServerProcess() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            Wait();
        }
    }

    // Waits up to 10 s for the port file the server writes once it listens.
    bool WaitForPort(const std::string& portFile) {
        for (int i = 0; i < 1000 && pid > 0; ++i) {
            const std::string text = ReadFile(portFile);
            if (!text.empty()) {
                port = std::atoi(text.c_str());
                return port > 0;
            }
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // The wait status, or -1.
    int Wait() {
        int status = -1;
        if (pid > 0 && waitpid(pid, &status, 0) == pid) pid = -1;
        return status;
    }
};

inline std::string AddTarget(std::string_view query) {
    return "/hosted/vlkn/scores/pr/add.php?" + std::string(query);
}

inline constexpr std::string_view viewTarget = "/hosted/vlkn/scores/pr/view.php";
