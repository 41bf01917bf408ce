// The HTTP side of munchet-scores: GNU libmicrohttpd in event-driven mode,
// where an idle or slow connection costs a socket and a few KB but never a
// thread, with bounds on connections, time and request size, group commit
// for submissions, the table served from memory, the web page's rows read
// on threads of their own, and replays played again on threads of their own
// before they are stored.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "server/store/score_store.h"

class ServerMetrics;

struct ScoreServerConfig {
    int rateLimit = 30;                           // submissions per minute per client; 0: off
    bool trustProxy = false;                      // see ChooseClientAddress
    int threads = 8;                              // threads serving connections, >= 1
    std::chrono::milliseconds ioTimeout{5000};    // to send one request once begun, or take one reply
    std::chrono::milliseconds idleTimeout{2000};  // for the next request on a kept-alive connection
    int maxConnections = 4000;                    // open at once; a newcomer past it is closed at once
    // Open at once from one address; 0: no bound. Not applied with
    // trustProxy, where every connection comes from the proxy.
    int maxConnectionsPerClient = 32;
    std::size_t maxRequestBytes = 8192;  // request line and headers together
    int pageThreads = 2;                 // threads reading the web page's rows, >= 1
    std::size_t maxQueuedPages = 256;    // page requests waiting for those threads; more get 503 at once
    // Replays: the largest body taken (more gets 413 before it is read), the
    // longest game in frames, the verifier's CPU time for one replay, the
    // replays waiting for the verifier threads (more get 503 at once), and
    // those threads, >= 1.
    std::size_t maxReplayBytes = 4u << 20;
    std::uint32_t maxReplayFrames = 360000;
    std::chrono::milliseconds verifyCpu{10000};
    std::size_t verifyQueue = 8;
    int verifyThreads = 1;
    // A file of words no name may hold (name_blocklist.h); empty: none. It
    // and the bans in the store are read again every screenPeriod.
    std::string nameBlocklist;
    std::chrono::milliseconds screenPeriod{1000};
    // CPU time one client's replays may take a minute (LimitKey); 0: no bound.
    std::chrono::milliseconds verifyCpuPerClientMinute{30000};
    // A request body is given ioTimeout plus a second for each this many bytes.
    std::size_t minBodyBytesPerSecond = 16384;
    std::function<void(std::string_view)> log = {};  // receives each log line; empty: stderr
    ServerMetrics* metrics = nullptr;                // borrowed, outlives the server; null: nothing counted
    bool tls = false;  // HTTPS, with the pair LoadTlsCertificate holds (tls_certificate.h)
    // The folder of the game built for the browser, served at /play/ and read
    // once at Start (play_files.h); empty: none. Without it (or with a folder
    // that cannot be served, which is logged), /play/ is 404 and the page
    // does not link to it.
    std::string playFiles;
};

// Serves one ScoreStore, which it borrows and which must outlive it.
// Start and Stop are called from one controlling thread.
class ScoreServer {
public:
    ScoreServer(ScoreStore& store, ScoreServerConfig config);
    ScoreServer(const ScoreServer&) = delete;
    ScoreServer& operator=(const ScoreServer&) = delete;
    ~ScoreServer();  // stops the server if it runs

    // Reads the table, binds host:port (port 0: any free port) and starts
    // serving on threads of its own. Returns the bound port, or -1 with a
    // message in *error (when given).
    int Start(const std::string& host, int port, std::string* error = nullptr);

    // True from a successful Start until Stop.
    bool Running() const { return engine != nullptr; }

    // Stops accepting, finishes the requests under way (storing every
    // submission already received), closes idle connections and joins every
    // thread. Idempotent.
    void Stop();

    // The most connections, at most `wanted`, that fit in `openFileLimit`
    // descriptors beside what the server itself keeps open with `threads`
    // threads; 0 when not even one fits.
    static int ConnectionsThatFit(int wanted, int threads, std::uint64_t openFileLimit);

    // Rows stored and commits made since Start: their ratio is how many
    // submissions shared a sync.
    std::uint64_t StoredRows() const;
    std::uint64_t Commits() const;

private:
    class Engine;
    ScoreStore& store;
    ScoreServerConfig config;
    std::unique_ptr<Engine> engine;
    std::uint64_t storedBefore = 0;  // counts of the runs before the current one
    std::uint64_t commitsBefore = 0;
};
