// The HTTP side of munchet-scores: cpp-httplib on a pool of worker threads,
// with bounded requests and one log line per request.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "server/rate_limiter.h"
#include "server/score_store.h"

struct ScoreServerConfig {
    int rateLimit = 30;                              // submissions per minute per client; 0: off
    bool trustProxy = false;                         // see ChooseClientAddress
    int threads = 8;                                 // worker threads, >= 1
    std::chrono::milliseconds ioTimeout{5000};       // to receive one request once begun, or send one reply
    std::chrono::milliseconds idleTimeout{2000};     // wait for the next request on a kept-alive connection
    int keepAliveRequests = 100;                     // requests per connection before it is closed
    std::size_t maxRequestBytes = 16384;             // request line, headers and body together
    std::function<void(std::string_view)> log = {};  // receives each log line; empty: stderr
};

// Serves one ScoreStore, which it borrows and which must outlive it.
// Start and Stop are called from one controlling thread.
class ScoreServer {
public:
    ScoreServer(ScoreStore& store, ScoreServerConfig config);
    ScoreServer(const ScoreServer&) = delete;
    ScoreServer& operator=(const ScoreServer&) = delete;
    ~ScoreServer();  // stops the server if it runs

    // Binds host:port (port 0: any free port) and starts accepting on a
    // thread of its own. Returns the bound port, or -1 when binding failed.
    int Start(const std::string& host, int port);

    // True from Start until the accept loop has ended (by Stop or an error).
    bool Running() const { return running.load(); }

    // Stops accepting, lets the requests under way finish and joins every
    // thread. Idle kept-alive connections are closed at once.
    void Stop();

private:
    class Http;
    ScoreStore& store;
    ScoreServerConfig config;
    RateLimiter limiter;
    std::unique_ptr<Http> http;
    std::thread acceptThread;
    std::atomic<bool> running{false};
    std::atomic<bool> stopping{false};
};
