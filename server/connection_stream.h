// The byte stream of one accepted connection as cpp-httplib reads and writes
// it, with the bounds the library itself lacks: a deadline and a byte budget
// for each request, and a deadline for each reply. A client that trickles its
// request or never finishes it is cut off at the deadline, so it can hold a
// worker thread for a bounded time only.
#pragma once

#include <httplib.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <string>

class ConnectionStream final : public httplib::Stream {
public:
    using Clock = std::chrono::steady_clock;

    // fd: the connected socket, still owned by the caller. ioTimeout: time
    // allowed to receive one request once it starts and to send one reply.
    ConnectionStream(int fd, std::chrono::milliseconds ioTimeout);

    // Waits until request bytes are available, until `until` or until
    // stopRequested() turns true (checked every few tens of milliseconds).
    // False when the peer closed, the time ran out or a stop was requested.
    template <class StopRequested>
    bool WaitForRequest(Clock::time_point until, StopRequested stopRequested) {
        while (!stopRequested()) {
            const Clock::time_point now = Clock::now();
            if (now >= until) return false;
            const auto slice = std::min<Clock::duration>(until - now, std::chrono::milliseconds(50));
            const int ready = WaitReadable(slice);
            if (ready < 0) return false;
            if (ready > 0) return true;
        }
        return false;
    }

    // Starts the budget of the next request: at most maxBytes may be read for
    // it, before now + ioTimeout.
    void BeginRequest(std::size_t maxBytes);

    // Why the last request failed on our side, or nullptr: "timed out" or "too large".
    const char* CutOffReason() const { return cutOff; }

    using httplib::Stream::write;
    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, std::size_t size) override;
    ssize_t write(const char* ptr, std::size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return fd; }

private:
    // > 0 when bytes can be read within `wait`, 0 on time-out, < 0 on error or end of stream.
    int WaitReadable(Clock::duration wait);
    static int RemainingMs(Clock::time_point deadline);

    int fd;
    std::chrono::milliseconds ioTimeout;
    std::string remoteIp;
    int remotePort = 0;
    std::string localIp;
    int localPort = 0;

    std::array<char, 4096> buffer{};
    std::size_t bufferBegin = 0;  // unread bytes are buffer[bufferBegin, bufferEnd)
    std::size_t bufferEnd = 0;
    Clock::time_point readDeadline;
    std::size_t readBudget = 0;         // bytes the current request may still take
    Clock::time_point writeDeadline{};  // set by the first write of a reply
    bool writing = false;
    const char* cutOff = nullptr;
};
