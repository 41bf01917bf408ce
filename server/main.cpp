// munchet-scores: the highscore server the game submits to and reads from.
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "server/score_server.h"
#include "server/score_store.h"
#include "server/server_options.h"

namespace {

// Written to a temporary name and renamed, so a reader never sees half a number.
bool WritePortFile(const std::string& path, int port) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << port << "\n";
        if (!out.flush()) return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

std::string HostForDisplay(const std::string& host) {
    return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

}  // namespace

int main(int argc, char** argv) {
    ServerOptions options;
    std::string error;
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (!ParseServerOptions(args, options, error)) {
        std::fprintf(stderr, "munchet-scores: %s\n%s", error.c_str(), ServerUsage().c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(ServerUsage().c_str(), stdout);
        return 0;
    }

    // Signals are taken by sigtimedwait below; every thread started from here
    // on inherits the mask, so none of them is interrupted by one.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    ScoreStore store;
    if (!store.Open(options.dbPath, error)) {
        std::fprintf(stderr, "munchet-scores: %s\n", error.c_str());
        return 1;
    }

    ScoreServerConfig config;
    config.rateLimit = options.rateLimit;
    config.trustProxy = options.trustProxy;
    config.threads = options.threads;
    config.ioTimeout = std::chrono::seconds(options.timeoutSeconds);
    ScoreServer server(store, config);
    const int port = server.Start(options.host, options.port);
    if (port < 0) {
        std::fprintf(stderr, "munchet-scores: cannot listen on %s:%d\n", HostForDisplay(options.host).c_str(),
                     options.port);
        return 1;
    }
    std::fprintf(stderr, "munchet-scores: database %s, rate limit %d/min%s\n", options.dbPath.c_str(),
                 options.rateLimit, options.trustProxy ? ", trusting X-Forwarded-For" : "");
    std::fprintf(stderr, "listening on %s:%d\n", HostForDisplay(options.host).c_str(), port);
    if (!options.portFile.empty() && !WritePortFile(options.portFile, port)) {
        std::fprintf(stderr, "munchet-scores: cannot write %s\n", options.portFile.c_str());
        server.Stop();
        return 1;
    }

    const timespec poll{0, 200 * 1000 * 1000};
    int received = -1;
    while (server.Running()) {
        received = sigtimedwait(&signals, nullptr, &poll);
        if (received == SIGINT || received == SIGTERM) break;
    }
    const bool failed = !server.Running() && received != SIGINT && received != SIGTERM;
    std::fprintf(stderr, failed ? "munchet-scores: stopped accepting connections\n"
                                : "munchet-scores: shutting down\n");
    server.Stop();
    store.Close();
    return failed ? 1 : 0;
}
