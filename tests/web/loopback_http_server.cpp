#include "tests/web/loopback_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <map>

namespace web_test {

namespace {

constexpr std::size_t maxRequestHead = 16 * 1024;

std::string_view ReasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 304:
            return "Not Modified";
        case 400:
            return "Bad Request";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        default:
            return "Status";
    }
}

void SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) return;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer(Handler handler) : handler(std::move(handler)) {
    listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    wake = ::eventfd(0, EFD_CLOEXEC);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || wake < 0 ||
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 64) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return;
    }
    port = ntohs(address.sin_port);
    thread = std::thread([this] { Serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    if (thread.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake, &one, sizeof one);
        thread.join();
    }
    if (listener >= 0) ::close(listener);
    if (wake >= 0) ::close(wake);
}

std::string LoopbackHttpServer::Url(std::string_view target) const {
    return "http://127.0.0.1:" + std::to_string(port) + std::string(target);
}

void LoopbackHttpServer::Serve() {
    std::map<int, std::string> open;  // connection -> bytes of its request so far
    while (true) {
        std::vector<pollfd> watched = {{wake, POLLIN, 0}, {listener, POLLIN, 0}};
        for (const auto& [fd, ignored] : open) watched.push_back({fd, POLLIN, 0});
        if (::poll(watched.data(), watched.size(), -1) < 0) continue;
        if (watched[0].revents != 0) break;
        if (watched[1].revents & POLLIN) {
            const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                // A browser that stops reading must not stall the tests.
                const timeval timeout{5, 0};
                ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
                open[fd];
            }
        }
        for (std::size_t i = 2; i < watched.size(); ++i) {
            if (watched[i].revents == 0) continue;
            const int fd = watched[i].fd;
            std::string& request = open[fd];
            char chunk[4096];
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n > 0) request.append(chunk, static_cast<std::size_t>(n));
            const std::size_t end = request.find("\r\n\r\n");
            if (n > 0 && end == std::string::npos && request.size() <= maxRequestHead) continue;
            if (end != std::string::npos) Answer(fd, std::string_view(request).substr(0, end));
            ::close(fd);
            open.erase(fd);
        }
    }
    for (const auto& [fd, ignored] : open) ::close(fd);
}

void LoopbackHttpServer::Answer(int connection, std::string_view head) {
    const std::string_view line = head.substr(0, head.find("\r\n"));
    const std::size_t space = line.find(' ');
    const std::string_view method = line.substr(0, space);
    std::string_view target = space == std::string_view::npos ? std::string_view{} : line.substr(space + 1);
    target = target.substr(0, target.find(' '));
    const std::size_t question = target.find('?');
    HttpReply reply;
    if (method != "GET") {
        reply.status = 405;
    } else if (question == std::string_view::npos) {
        reply = handler(target, {});
    } else {
        reply = handler(target.substr(0, question), target.substr(question + 1));
    }
    std::string text =
        "HTTP/1.1 " + std::to_string(reply.status) + " " + std::string(ReasonPhrase(reply.status)) + "\r\n";
    for (const auto& [name, value] : reply.headers) text += name + ": " + value + "\r\n";
    text += "Content-Length: " + std::to_string(reply.body.size()) + "\r\nConnection: close\r\n\r\n";
    text += reply.body;
    SendAll(connection, text);
}

}  // namespace web_test
