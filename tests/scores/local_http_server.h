// A tiny HTTP server on an ephemeral loopback port for the score client's
// tests. It records the request line and the body (by its Content-Length) of
// every request and answers each one
// as its handler says: a status and a body, or nothing at all (the
// connection is held open, as by a server that hangs), at once, late, or a
// byte at a time. It answers one connection after the other, as a server
// with a single worker would.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

struct HttpRequest {
    std::string line;  // "POST /path?query HTTP/1.1"
    std::string head;  // the request line and the headers, up to the blank line
    std::string body;
};

struct HttpReply {
    int status = 200;
    std::string body;
    bool silent = false;                   // read the request, never answer
    std::chrono::milliseconds delay{0};    // wait this long before answering
    std::chrono::milliseconds byteGap{0};  // send the answer a byte at a time, this far apart
};

inline HttpReply SilentReply() {
    HttpReply reply;
    reply.silent = true;
    return reply;
}

// A socket listening on an ephemeral loopback port with the given queue
// length, its address in address; -1 when it cannot be set up.
inline int ListenOnLoopback(int backlog, sockaddr_in& address) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(fd, backlog) == 0 && ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        return fd;
    if (fd >= 0) ::close(fd);
    return -1;
}

class LocalHttpServer {
public:
    // handler gets the request line ("GET /path?query HTTP/1.1").
    explicit LocalHttpServer(std::function<HttpReply(const std::string&)> handler)
        : handler_(std::move(handler)) {
        sockaddr_in address{};
        listener_ = ListenOnLoopback(16, address);
        if (listener_ < 0) return;
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    // Always the same reply.
    explicit LocalHttpServer(HttpReply reply)
        : LocalHttpServer([reply](const std::string&) { return reply; }) {}

    ~LocalHttpServer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        for (int fd : heldOpen_) ::close(fd);
        if (listener_ >= 0) ::close(listener_);
    }
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    // 0 when the socket could not be set up.
    int port() const { return port_; }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

    std::vector<std::string> requestLines() const {
        std::lock_guard lock(mutex_);
        std::vector<std::string> lines;
        for (const HttpRequest& request : requests_) lines.push_back(request.line);
        return lines;
    }
    std::vector<HttpRequest> requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }

private:
    void serve() {
        while (!stop_) {
            pollfd waiting{listener_, POLLIN, 0};
            if (::poll(&waiting, 1, 20) <= 0) continue;
            const int connection = ::accept(listener_, nullptr, nullptr);
            if (connection < 0) continue;
            const HttpRequest request = readRequest(connection);
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(request);
            }
            const HttpReply reply = handler_(request.line);
            if (reply.silent) {
                heldOpen_.push_back(connection);
                continue;
            }
            std::string answer = "HTTP/1.1 " + std::to_string(reply.status) +
                                 " Test\r\nContent-Type: text/plain\r\n" +
                                 "Content-Length: " + std::to_string(reply.body.size()) +
                                 "\r\nConnection: close\r\n\r\n" + reply.body;
            pause(reply.delay);
            if (reply.byteGap.count() == 0) sendAll(connection, answer);
            for (std::size_t i = 0; reply.byteGap.count() > 0 && i < answer.size() && !stop_; ++i) {
                if (::send(connection, &answer[i], 1, MSG_NOSIGNAL) != 1) break;
                pause(reply.byteGap);
            }
            ::close(connection);
        }
    }

    // Reads the request head and as much body as its Content-Length says
    // (within 2 s and 64 MiB).
    HttpRequest readRequest(int connection) {
        std::string data;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        char buffer[65536];
        std::size_t wanted = std::string::npos;  // head and body, once the head is in
        while (data.size() < wanted && data.size() < (64u << 20) &&
               std::chrono::steady_clock::now() < deadline && !stop_) {
            pollfd readable{connection, POLLIN, 0};
            if (::poll(&readable, 1, 20) <= 0) continue;
            const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            data.append(buffer, static_cast<std::size_t>(got));
            const std::size_t headEnd = data.find("\r\n\r\n");
            if (wanted == std::string::npos && headEnd != std::string::npos)
                wanted = headEnd + 4 + contentLength(data.substr(0, headEnd));
        }
        HttpRequest request;
        const std::size_t headEnd = std::min(data.find("\r\n\r\n"), data.size());
        request.head = data.substr(0, headEnd);
        request.line = data.substr(0, data.find("\r\n"));
        if (headEnd + 4 <= data.size()) request.body = data.substr(headEnd + 4);
        return request;
    }

    static std::size_t contentLength(const std::string& head) {
        std::string lower = head;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const std::size_t at = lower.find("\r\ncontent-length:");
        return at == std::string::npos ? 0 : std::strtoul(head.c_str() + at + 17, nullptr, 10);
    }

    // Sleeps, waking early when the server is being stopped.
    void pause(std::chrono::milliseconds time) {
        const auto until = std::chrono::steady_clock::now() + time;
        while (!stop_ && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    static void sendAll(int connection, std::string_view data) {
        while (!data.empty()) {
            const ssize_t sent = ::send(connection, data.data(), data.size(), MSG_NOSIGNAL);
            if (sent <= 0) return;
            data.remove_prefix(static_cast<std::size_t>(sent));
        }
    }

    std::function<HttpReply(const std::string&)> handler_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::vector<int> heldOpen_;  // silent connections, touched only by the thread until it is joined
    mutable std::mutex mutex_;
    std::vector<HttpRequest> requests_;
};

// A loopback port that nothing listens on: bound once to learn a free port,
// then released.
inline int UnusedLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// A loopback port whose connections never complete: it listens with a queue
// of one that a first connection fills, so the kernel drops every later
// handshake and connecting times out, as with a host that does not answer.
class UnansweredPort {
public:
    UnansweredPort() {
        sockaddr_in address{};
        listener_ = ListenOnLoopback(0, address);
        if (listener_ < 0) return;
        filler_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (::connect(filler_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~UnansweredPort() {
        if (filler_ >= 0) ::close(filler_);
        if (listener_ >= 0) ::close(listener_);
    }
    UnansweredPort(const UnansweredPort&) = delete;
    UnansweredPort& operator=(const UnansweredPort&) = delete;

    // 0 when the socket could not be set up.
    int port() const { return port_; }

private:
    int listener_ = -1;
    int filler_ = -1;
    int port_ = 0;
};
