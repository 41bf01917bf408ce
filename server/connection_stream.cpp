#include "server/connection_stream.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

namespace {

void AddressOf(const sockaddr_storage& address, socklen_t length, std::string& ip, int& port) {
    char host[NI_MAXHOST] = "";
    char service[NI_MAXSERV] = "";
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, host, sizeof host, service,
                    sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
        ip.clear();
        port = 0;
        return;
    }
    ip = host;
    // A dual-stack listener sees IPv4 clients as ::ffff:a.b.c.d; record them
    // as a.b.c.d so one client has one address whatever the listener.
    if (ip.starts_with("::ffff:") && ip.find('.') != std::string::npos) ip.erase(0, 7);
    port = std::atoi(service);
}

}  // namespace

ConnectionStream::ConnectionStream(int fd, std::chrono::milliseconds ioTimeout)
    : fd(fd), ioTimeout(ioTimeout) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        AddressOf(address, length, remoteIp, remotePort);
    }
    length = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        AddressOf(address, length, localIp, localPort);
    }
    readDeadline = Clock::now() + ioTimeout;
    // The library writes a reply's headers and body separately; with Nagle's
    // algorithm the body would wait for the client's delayed ACK (40 ms).
    const int yes = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
}

void ConnectionStream::BeginRequest(std::size_t maxBytes) {
    readDeadline = Clock::now() + ioTimeout;
    readBudget = maxBytes;
    writing = false;
    cutOff = nullptr;
}

int ConnectionStream::RemainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

int ConnectionStream::WaitReadable(Clock::duration wait) {
    if (bufferBegin < bufferEnd) return 1;
    pollfd entry{fd, POLLIN, 0};
    const int ms = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
    int ready;
    do {
        ready = poll(&entry, 1, ms);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) return -1;
    if (ready == 0) return 0;
    // POLLHUP/POLLERR also end the wait: the read that follows reports them.
    return 1;
}

bool ConnectionStream::is_readable() const {
    if (bufferBegin < bufferEnd) return true;
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, RemainingMs(readDeadline)) > 0;
}

bool ConnectionStream::is_writable() const {
    pollfd entry{fd, POLLOUT, 0};
    const Clock::time_point deadline = writing ? writeDeadline : Clock::now() + ioTimeout;
    return poll(&entry, 1, RemainingMs(deadline)) > 0;
}

ssize_t ConnectionStream::read(char* ptr, std::size_t size) {
    if (size == 0) return 0;
    if (readBudget == 0) {
        cutOff = "too large";
        return -1;
    }
    if (bufferBegin == bufferEnd) {
        pollfd entry{fd, POLLIN, 0};
        int ready;
        do {
            const int ms = RemainingMs(readDeadline);
            if (ms == 0) {
                cutOff = "timed out";
                return -1;
            }
            ready = poll(&entry, 1, ms);
        } while (ready < 0 && errno == EINTR);
        if (ready == 0) {
            cutOff = "timed out";
            return -1;
        }
        if (ready < 0) return -1;
        ssize_t received;
        do {
            received = recv(fd, buffer.data(), buffer.size(), 0);
        } while (received < 0 && errno == EINTR);
        if (received <= 0) return received;
        bufferBegin = 0;
        bufferEnd = static_cast<std::size_t>(received);
    }
    const std::size_t n = std::min({size, bufferEnd - bufferBegin, readBudget});
    std::copy_n(buffer.data() + bufferBegin, n, ptr);
    bufferBegin += n;
    readBudget -= n;
    return static_cast<ssize_t>(n);
}

ssize_t ConnectionStream::write(const char* ptr, std::size_t size) {
    if (!writing) {
        writing = true;
        writeDeadline = Clock::now() + ioTimeout;
    }
    std::size_t sent = 0;
    while (sent < size) {
        pollfd entry{fd, POLLOUT, 0};
        const int ms = RemainingMs(writeDeadline);
        const int ready = ms == 0 ? 0 : poll(&entry, 1, ms);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            if (ready == 0) cutOff = "timed out";
            return sent > 0 ? static_cast<ssize_t>(sent) : -1;
        }
        // MSG_NOSIGNAL: a client that hung up must not raise SIGPIPE.
        const ssize_t n = send(fd, ptr + sent, size - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return sent > 0 ? static_cast<ssize_t>(sent) : -1;
        }
        sent += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(sent);
}

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const {
    ip = remoteIp;
    port = remotePort;
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const {
    ip = localIp;
    port = localPort;
}
