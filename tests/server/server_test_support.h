// Helpers shared by the score server tests: a scratch directory and a tiny
// raw HTTP/1.1 client over loopback, which sends request targets exactly as
// given (an ordinary client would re-encode them).
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// A fresh directory under the system's temporary directory, removed with its contents.
struct ScratchDir {
    std::filesystem::path path;

    ScratchDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "munchet-server-test-XXXXXX").string();
        if (mkdtemp(pattern.data())) path = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string File(std::string_view name) const { return (path / name).string(); }
};

// A connected loopback socket, closed on destruction; fd < 0 when the connection failed.
struct LoopbackSocket {
    int fd = -1;

    explicit LoopbackSocket(int port) {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
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

// One GET on its own connection; extraHeaders are complete "Name: value\r\n" lines.
inline RawReply RawGet(int port, std::string_view target, std::string_view extraHeaders = {}) {
    LoopbackSocket socket(port);
    if (socket.fd < 0) return {};
    std::string request = "GET ";
    request += target;
    request += " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
    request += extraHeaders;
    request += "\r\n";
    if (!socket.Send(request)) return {};
    return ParseRawReply(socket.ReadAll(std::chrono::seconds(10)));
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

inline std::string AddTarget(std::string_view query) {
    return "/hosted/vlkn/scores/pr/add.php?" + std::string(query);
}

inline constexpr std::string_view viewTarget = "/hosted/vlkn/scores/pr/view.php";
