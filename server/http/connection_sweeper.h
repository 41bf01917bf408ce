// The deadlines of the public port, kept on a thread of its own: ten times a
// second every connection past its deadline is closed, and once a second one
// summary is logged of what was closed, what the connection table turned
// away and what the HTTP library was kept from saying, however hard the
// server is pushed.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string_view>
#include <thread>

#include "server/http/connection_table.h"

class LogThrottle;
class ServerMetrics;

class ConnectionSweeper {
public:
    using LogLine = std::function<void(std::string_view)>;

    // Borrows all but the log, which must outlive it. metrics: null counts nothing.
    ConnectionSweeper(ConnectionTable& connections, const ConnectionTable::Limits& limits,
                      ServerMetrics* metrics, LogThrottle& libraryLog, LogLine log);
    ConnectionSweeper(const ConnectionSweeper&) = delete;
    ConnectionSweeper& operator=(const ConnectionSweeper&) = delete;
    ~ConnectionSweeper() { Stop(); }

    void Start();
    // Sweeps and reports one last time, then joins the thread. Idempotent.
    void Stop();

private:
    void Run();
    void Report(const ConnectionTable::Tally& cut, const ConnectionTable::Tally& refused);

    ConnectionTable& connections;
    const ConnectionTable::Limits& limits;
    ServerMetrics* const metrics;
    LogThrottle& libraryLog;
    const LogLine log;

    std::thread thread;
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
};
