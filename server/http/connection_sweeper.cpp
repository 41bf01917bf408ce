#include "server/http/connection_sweeper.h"

#include <chrono>
#include <string>
#include <utility>

#include "server/http/log_throttle.h"
#include "server/http/server_metrics.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// How often deadlines are checked, and how often what the checks did is logged.
constexpr auto sweepPeriod = 100ms;
constexpr auto reportPeriod = 1s;

}  // namespace

ConnectionSweeper::ConnectionSweeper(ConnectionTable& connections, const ConnectionTable::Limits& limits,
                                     ServerMetrics* metrics, LogThrottle& libraryLog, LogLine log)
    : connections(connections),
      limits(limits),
      metrics(metrics),
      libraryLog(libraryLog),
      log(std::move(log)) {}

void ConnectionSweeper::Start() {
    stop = false;
    thread = std::thread([this] { Run(); });
}

void ConnectionSweeper::Stop() {
    if (!thread.joinable()) return;
    {
        std::lock_guard lock(mutex);
        stop = true;
    }
    wake.notify_one();
    thread.join();
}

void ConnectionSweeper::Run() {
    ConnectionTable::Tally cut;
    auto nextReport = Clock::now() + reportPeriod;
    std::unique_lock lock(mutex);
    while (true) {
        const bool last = wake.wait_for(lock, sweepPeriod, [this] { return stop; });
        const Clock::time_point now = Clock::now();
        const ConnectionTable::Tally swept = connections.CutOverdue(now);
        if (swept.count > 0) {
            if (metrics) metrics->ConnectionsClosed(ServerMetrics::CloseReason::deadline, swept.count);
            cut.count += swept.count;
            cut.lastAddress = swept.lastAddress;
        }
        if (now >= nextReport || last) {
            Report(std::exchange(cut, {}), connections.TakeRefused());
            nextReport = now + reportPeriod;
        }
        if (last) return;
    }
}

void ConnectionSweeper::Report(const ConnectionTable::Tally& cut, const ConnectionTable::Tally& refused) {
    if (cut.count == 1) log("connection from " + cut.lastAddress + " closed: request timed out");
    if (cut.count > 1)
        log("closed " + std::to_string(cut.count) + " connections (the last from " + cut.lastAddress +
            "): requests timed out");
    if (const std::size_t held = libraryLog.TakeHeld(); held > 0)
        log("libmicrohttpd: " + std::to_string(held) + " more messages left out");
    if (refused.count > 0) {
        log("refused " + std::to_string(refused.count) +
            (refused.count == 1 ? " connection" : " connections") + " over the bounds of " +
            std::to_string(limits.total) + " open, " +
            (limits.perClient > 0 ? std::to_string(limits.perClient) : std::string("any")) +
            " per address (the last from " + refused.lastAddress + ")");
    }
}
