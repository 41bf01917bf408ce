// What the score server counts for whoever runs it, rendered in the
// Prometheus text exposition format for the admin listener's /metrics. Every
// count is a relaxed atomic bumped on the thread that saw the event: no lock
// is taken on a request's path, so counting costs a few uncontended
// increments per request. A scrape reads each count once; counts read in one
// scrape may be a request apart, as Prometheus expects of live counters.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "replay/replay_verifier.h"

class ServerMetrics {
public:
    // What a request asked for, from its path alone (a request refused before
    // routing still counts under the path it named).
    enum class Route { view, add, replay, page, json, style, other };
    static constexpr std::size_t routeCount = 7;
    static Route RouteOf(std::string_view target);

    // Why a connection ended other than in the normal way.
    enum class CloseReason { deadline, clientAbort, readError, error, idle, shutdown };
    static constexpr std::size_t closeReasonCount = 6;
    // From libmicrohttpd's MHD_RequestTerminationCode; none for a request
    // that completed.
    static std::optional<CloseReason> CloseReasonOf(int libraryTermination);

    // One answered request: its status (100..599; any other is left out of
    // the counts by status but kept in the latency) and the time from its
    // request line to the end of its reply.
    void RequestDone(Route route, int status, std::chrono::nanoseconds latency);

    void ConnectionOpened() { openConnections.fetch_add(1, std::memory_order_relaxed); }
    void ConnectionClosed() { openConnections.fetch_sub(1, std::memory_order_relaxed); }
    void ConnectionsRefused(std::uint64_t count) { Add(refusedConnections, count); }
    void ConnectionsClosed(CloseReason reason, std::uint64_t count = 1) {
        Add(closedConnections[static_cast<std::size_t>(reason)], count);
    }

    // One durable transaction of `rows` submitted rows, or one replay stored.
    void Committed(std::size_t rows);
    void DatabaseError() { Add(databaseErrors, 1); }

    // The verifier's queue: a replay taken into it, and one played (or
    // stopped) with its verdict. verifierCpu: the CPU time playing it took.
    void ReplayQueued() { verifierQueue.fetch_add(1, std::memory_order_relaxed); }
    void ReplayChecked(ReplayVerdict verdict, std::chrono::nanoseconds verifierCpu);

    // Every metric with its HELP and TYPE lines.
    std::string Render() const;

    // Bucket bounds, in seconds and in rows.
    static constexpr std::array<double, 14> latencyBounds = {0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025, 0.05,
                                                             0.1,    0.25,  0.5,    1,     2.5,  5,     10};
    static constexpr std::array<double, 9> rowsBounds = {1, 2, 4, 8, 16, 32, 64, 128, 256};

private:
    using Counter = std::atomic<std::uint64_t>;
    static void Add(Counter& counter, std::uint64_t count) {
        counter.fetch_add(count, std::memory_order_relaxed);
    }

    // Counts per bucket (not cumulative; the last one is +Inf) and the sum.
    template <std::size_t Bounds>
    struct Histogram {
        std::array<Counter, Bounds + 1> buckets{};
        Counter sum{0};  // see each histogram's unit
        void Observe(const std::array<double, Bounds>& bounds, double value, std::uint64_t scaled);
    };

    static constexpr int lowestStatus = 100;
    static constexpr std::size_t statusCount = 500;  // 100..599
    struct RouteCounts {
        std::array<Counter, statusCount> byStatus{};
        Histogram<latencyBounds.size()> latency;  // sum in nanoseconds
    };
    std::array<RouteCounts, routeCount> routes;
    std::atomic<std::int64_t> openConnections{0};
    Counter refusedConnections{0};
    std::array<Counter, closeReasonCount> closedConnections{};
    Counter commits{0};
    Histogram<rowsBounds.size()> rowsPerCommit;  // sum in rows
    Counter databaseErrors{0};
    std::atomic<std::int64_t> verifierQueue{0};
    Counter verifierCpuNanoseconds{0};
    static constexpr std::size_t verdictCount = 5;  // ReplayVerdict's values
    std::array<Counter, verdictCount> verdicts{};
};
