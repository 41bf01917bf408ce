// The load generator the server benchmarks share: N kept-alive connections,
// each with one request in flight, kept busy for a fixed time from one epoll
// thread over loopback, and the figures it prints (requests per second, p50
// and p99 latency, failures by status).
#pragma once

#include <sys/epoll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "server/store/score_store.h"
#include "server/store/submission.h"
#include "tests/server/server_test_support.h"

struct PhaseResult {
    std::size_t requests = 0;
    std::size_t failures = 0;
    std::map<int, std::size_t> failedStatuses;  // 0: no reply
    double seconds = 0;
    std::vector<double> latenciesUs;
};

// One kept-alive client connection with at most one request in flight.
struct LoadConnection {
    int fd = -1;
    int sequence = 0;
    std::string received;
    std::chrono::steady_clock::time_point sentAt;
};

// Splits one whole reply off the front of `buffer`. 0 while incomplete; else
// its status, with close set when the server will close the connection.
inline int TakeReply(std::string& buffer, bool& close) {
    const std::size_t headerEnd = buffer.find("\r\n\r\n");
    if (headerEnd == std::string::npos) return 0;
    const std::string_view head(buffer.data(), headerEnd);
    std::size_t length = 0;
    if (const std::size_t at = head.find("Content-Length: "); at != std::string_view::npos)
        length = std::strtoul(buffer.c_str() + at + 16, nullptr, 10);
    if (buffer.size() < headerEnd + 4 + length) return 0;
    close = head.find("Connection: close") != std::string_view::npos;
    const int status = head.size() > 12 ? std::atoi(buffer.c_str() + 9) : -1;
    buffer.erase(0, headerEnd + 4 + length);
    return status;
}

// makeTarget(connection, sequence) gives each request's target; every
// request carries extraHeaders ("Name: value\r\n" lines). Connection c goes
// to ports[c % ports.size()] and counts in group c % groups; a 304 is a
// success like a 200.
template <class MakeTarget>
std::vector<PhaseResult> RunGroups(std::span<const int> ports, int connectionCount, double seconds,
                                   MakeTarget makeTarget, int groups, const std::string& extraHeaders = {}) {
    using Clock = std::chrono::steady_clock;
    std::vector<PhaseResult> results(static_cast<std::size_t>(groups));
    const int poller = epoll_create1(EPOLL_CLOEXEC);
    std::vector<LoadConnection> connections(static_cast<std::size_t>(connectionCount));
    const auto send = [&](std::size_t c) {
        LoadConnection& connection = connections[c];
        if (connection.fd < 0) {
            // Each connection is a client of its own, 127.0.1.0 and up, as
            // players are; the attackers come from 127.0.0.2 and up.
            connection.fd = ConnectLoopback(ports[c % ports.size()], 256 + static_cast<int>(c));
            connection.received.clear();
            if (connection.fd < 0) return false;
            epoll_event event{EPOLLIN, {.u64 = c}};
            epoll_ctl(poller, EPOLL_CTL_ADD, connection.fd, &event);
        }
        const std::string request = "GET " + makeTarget(static_cast<int>(c), connection.sequence++) +
                                    " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extraHeaders + "\r\n";
        connection.sentAt = Clock::now();
        return ::send(connection.fd, request.data(), request.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(request.size());
    };
    const auto drop = [&](LoadConnection& connection) {
        ::close(connection.fd);  // also leaves the epoll set
        connection.fd = -1;
    };

    const Clock::time_point start = Clock::now();
    const Clock::time_point end =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    for (std::size_t c = 0; c < connections.size(); ++c) send(c);
    std::vector<epoll_event> events(connections.size());
    std::size_t inFlight = connections.size();
    while (inFlight > 0) {
        const int ready = epoll_wait(poller, events.data(), static_cast<int>(events.size()), 1000);
        if (ready <= 0 && Clock::now() > end + std::chrono::seconds(5)) break;  // the rest never came back
        for (int e = 0; e < ready; ++e) {
            const std::size_t c = events[e].data.u64;
            LoadConnection& connection = connections[c];
            char chunk[16384];
            const ssize_t n = ::recv(connection.fd, chunk, sizeof chunk, MSG_DONTWAIT);
            bool close = n <= 0;
            int status = 0;
            if (n > 0) {
                connection.received.append(chunk, static_cast<std::size_t>(n));
                status = TakeReply(connection.received, close);
                if (status == 0) continue;  // more to come
            }
            PhaseResult& result = results[c % results.size()];
            result.latenciesUs.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - connection.sentAt).count());
            ++result.requests;
            if (status != 200 && status != 304) {
                ++result.failures;
                ++result.failedStatuses[status];
            }
            if (close) drop(connection);
            if (Clock::now() >= end || !send(c)) {
                if (connection.fd >= 0) drop(connection);
                --inFlight;
            }
        }
    }
    for (PhaseResult& result : results)
        result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (LoadConnection& connection : connections)
        if (connection.fd >= 0) drop(connection);
    ::close(poller);
    return results;
}

template <class MakeTarget>
PhaseResult RunPhase(std::span<const int> ports, int connectionCount, double seconds, MakeTarget makeTarget,
                     const std::string& extraHeaders = {}) {
    return RunGroups(ports, connectionCount, seconds, makeTarget, 1, extraHeaders).front();
}

inline double Percentile(std::vector<double>& values, double p) {
    if (values.empty()) return 0;
    const std::size_t k = std::min(values.size() - 1, static_cast<std::size_t>(p * values.size()));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(k), values.end());
    return values[k];
}

inline void Print(const char* name, PhaseResult result) {
    std::printf("%-36s %8.0f req/s   p50 %8.2f ms   p99 %8.2f ms   (%zu requests, %zu failed", name,
                result.requests / result.seconds, Percentile(result.latenciesUs, 0.50) / 1000,
                Percentile(result.latenciesUs, 0.99) / 1000, result.requests, result.failures);
    for (const auto& [status, count] : result.failedStatuses) std::printf(", %zu with %d", count, status);
    std::printf(")\n");
    std::fflush(stdout);
}

inline std::string ViewRequest(int, int) { return "/hosted/vlkn/scores/pr/view.php"; }
inline std::string TicketRequest(int, int) { return "/hosted/vlkn/scores/pr/ticket.php"; }

inline std::string AddRequest(int connection, int sequence) {
    const int munchets = 1 + (sequence * 7919 + connection * 104729) % 100000;
    const Submission s{"bench" + std::to_string(connection), 100 * munchets, 0, munchets, 0};
    return "/hosted/vlkn/scores/pr/add.php?" + FormatSubmissionQuery(s);
}

// Every preloaded name has this many rows, as regular players do.
constexpr int gamesPerPlayer = 100;

// The rows a long-running server would hold: random scores.
inline std::vector<ScoreRow> PreloadRows(int rows) {
    std::vector<ScoreRow> batch;
    std::mt19937 random(42);
    for (int i = 0; i < rows; ++i) {
        const int munchets = 1 + static_cast<int>(random() % 100000);
        batch.push_back(
            {Submission{"player" + std::to_string(i / gamesPerPlayer), 100 * munchets, 0, munchets, 0}, 0,
             "127.0.0.1"});
    }
    return batch;
}
