// A crowd of hostile or careless clients against a loopback port, driven by
// one thread of its own: connections that open and say nothing, connections
// that trickle a request a byte a second, and kept-alive connections that
// send a valid request every 1.5 s. Each comes from one of `addresses` loopback
// addresses (127.0.0.2 and up), and whatever the server closes is opened
// again, so the pressure lasts as long as the crowd does. Shared by the
// attack test and the load benchmark.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/server/server_test_support.h"

class AttackCrowd {
public:
    struct Shape {
        int idle = 0;
        int trickling = 0;
        int keptAlive = 0;
        int addresses = 1;  // 1..250
    };

    AttackCrowd(int port, Shape shape) : port(port), shape(shape) {
        for (int i = 0; i < shape.idle; ++i) slots.push_back({Kind::idle});
        for (int i = 0; i < shape.trickling; ++i) slots.push_back({Kind::trickling});
        for (int i = 0; i < shape.keptAlive; ++i) slots.push_back({Kind::keptAlive});
        thread = std::thread([this] { Run(); });
    }
    AttackCrowd(const AttackCrowd&) = delete;
    AttackCrowd& operator=(const AttackCrowd&) = delete;
    ~AttackCrowd() {
        stop = true;
        thread.join();
        for (Slot& slot : slots) Close(slot);
    }

    // How many of the crowd's sockets are connected right now.
    int Connected() const { return connected.load(); }
    // Replies the kept-alive clients have had (counted by status lines).
    int KeptAliveReplies() const { return replies.load(); }

private:
    using Clock = std::chrono::steady_clock;
    enum class Kind { idle, trickling, keptAlive };
    struct Slot {
        Kind kind;
        int fd = -1;
        std::size_t sent = 0;  // trickling: sends made on this connection
        Clock::time_point nextSend{};
    };

    void Run() {
        static constexpr std::string_view request =
            "GET /hosted/vlkn/scores/pr/view.php HTTP/1.1\r\nHost: x\r\n\r\n";
        static constexpr std::string_view trickleHead =
            "GET /hosted/vlkn/scores/pr/view.php HTTP/1.1\r\nX-Pad: ";
        std::vector<pollfd> entries;
        while (!stop) {
            const Clock::time_point now = Clock::now();
            int live = 0;
            for (std::size_t i = 0; i < slots.size(); ++i) {
                Slot& slot = slots[i];
                if (slot.fd < 0) {
                    slot.fd = ConnectLoopback(
                        port, 2 + static_cast<int>(i % static_cast<std::size_t>(shape.addresses)), true);
                    slot.sent = 0;
                    slot.nextSend = now + std::chrono::milliseconds(slot.kind == Kind::keptAlive ? 0 : 1000);
                }
                if (slot.fd < 0) continue;
                ++live;
                if (slot.kind == Kind::idle || now < slot.nextSend) continue;
                if (slot.kind == Kind::trickling) {
                    // The request line at once, then a byte of a header that never ends.
                    const std::string_view bytes = slot.sent == 0 ? trickleHead : std::string_view("a");
                    if (::send(slot.fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) > 0) ++slot.sent;
                    slot.nextSend = now + std::chrono::seconds(1);
                } else {
                    ::send(slot.fd, request.data(), request.size(), MSG_NOSIGNAL);
                    slot.nextSend = now + std::chrono::milliseconds(1500);
                }
            }
            connected = live;
            // Read what came back; a socket the server closed is opened again next round.
            entries.clear();
            for (const Slot& slot : slots) entries.push_back({slot.fd, POLLIN, 0});
            if (::poll(entries.data(), entries.size(), 50) > 0) {
                for (std::size_t i = 0; i < slots.size(); ++i) {
                    if (entries[i].fd < 0 || !(entries[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                    char chunk[8192];
                    const ssize_t n = ::recv(slots[i].fd, chunk, sizeof chunk, MSG_DONTWAIT);
                    if (n <= 0) {
                        Close(slots[i]);
                        continue;
                    }
                    const std::string_view text(chunk, static_cast<std::size_t>(n));
                    for (std::size_t at = text.find("HTTP/1.1 "); at != std::string_view::npos;
                         at = text.find("HTTP/1.1 ", at + 1)) {
                        ++replies;
                    }
                }
            }
        }
    }

    static void Close(Slot& slot) {
        if (slot.fd >= 0) ::close(slot.fd);
        slot.fd = -1;
    }

    const int port;
    const Shape shape;
    std::vector<Slot> slots;
    std::atomic<bool> stop{false};
    std::atomic<int> connected{0};
    std::atomic<int> replies{0};
    std::thread thread;
};
