// munchet-scores: the highscore server the game submits to and reads from.
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "server/admin/admin_command.h"
#include "server/admin/score_import.h"
#include "server/http/admin_listener.h"
#include "server/http/listen_socket.h"
#include "server/http/score_server.h"
#include "server/http/server_metrics.h"
#include "server/http/tls_certificate.h"
#include "server/pg/pg_score_store.h"
#include "server/server_options.h"
#include "server/sqlite/sqlite_score_store.h"
#include "server/store/name_blocklist.h"

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

PgSettings PostgresSettings(const ServerOptions& options) {
    PgSettings settings;
    settings.uri = options.dbPath;
    settings.timeout = std::chrono::seconds(options.dbTimeoutSeconds);
    return settings;
}

// The store --db names, open; nullptr with a message when it cannot be used.
std::unique_ptr<ScoreStore> OpenStore(const ServerOptions& options, std::string& error) {
    const ShownRows shown = options.requireReplay ? ShownRows::verifiedOnly : ShownRows::all;
    if (IsPostgresUri(options.dbPath)) {
        auto store = std::make_unique<PgScoreStore>();
        if (store->Open(PostgresSettings(options), error, shown)) return store;
    } else {
        auto store = std::make_unique<SqliteScoreStore>();
        if (store->Open(options.dbPath, error, shown)) return store;
    }
    return nullptr;
}

int Import(const ServerOptions& options) {
    PgScoreStore store;
    std::string error;
    std::int64_t copied = 0;
    if (!store.Open(PostgresSettings(options), error) ||
        !ImportSqliteScores(options.importSqlite, store, copied, error)) {
        std::fprintf(stderr, "munchet-scores: import failed, nothing copied: %s\n", error.c_str());
        return 1;
    }
    std::fprintf(stderr, "munchet-scores: copied %lld rows from %s into %s\n", static_cast<long long>(copied),
                 options.importSqlite.c_str(), RedactPostgresUri(options.dbPath).c_str());
    return 0;
}

// A renewed certificate is served from the next handshake on; a bad one is
// refused and the one in force kept, so a botched renewal never stops HTTPS.
void ReloadCertificate(const ServerOptions& options) {
    if (options.tlsCert.empty()) {
        std::fprintf(stderr, "munchet-scores: SIGHUP ignored: no --tls-cert to read again\n");
        return;
    }
    std::string error;
    if (LoadTlsCertificate(options.tlsCert, options.tlsKey, error)) {
        std::fprintf(stderr, "munchet-scores: reloaded the certificate %s\n", options.tlsCert.c_str());
    } else {
        std::fprintf(stderr, "munchet-scores: kept the certificate in force: %s\n", error.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    ServerOptions options;
    std::string error;
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (!args.empty() && args.front() == "admin") {
        if (args.size() == 2 && (args[1] == "--help" || args[1] == "-h")) {
            std::fputs(AdminUsage().c_str(), stdout);
            return 0;
        }
        return RunAdminCommand({args.begin() + 1, args.end()}, stdout, stderr);
    }
    if (!ParseServerOptions(args, options, error)) {
        std::fprintf(stderr, "munchet-scores: %s\n%s", error.c_str(), ServerUsage().c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(ServerUsage().c_str(), stdout);
        return 0;
    }
    if (!options.importSqlite.empty()) return Import(options);
    NameBlocklist blocklist;
    if (!options.nameBlocklist.empty() && !NameBlocklist::Load(options.nameBlocklist, blocklist, error)) {
        std::fprintf(stderr, "munchet-scores: %s\n", error.c_str());
        return 1;
    }

    // Signals are taken by sigwaitinfo below; every thread started from here
    // on inherits the mask, so none of them is interrupted by one.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    const std::uint64_t fileLimit = RaiseOpenFileLimit();
    const int connections =
        ScoreServer::ConnectionsThatFit(options.maxConnections, options.threads, fileLimit);
    if (connections < 1) {
        std::fprintf(stderr, "munchet-scores: the open-file limit (%llu) leaves no room for connections\n",
                     static_cast<unsigned long long>(fileLimit));
        return 1;
    }
    if (connections < options.maxConnections) {
        std::fprintf(stderr, "munchet-scores: the open-file limit (%llu) allows %d connections, not %d\n",
                     static_cast<unsigned long long>(fileLimit), connections, options.maxConnections);
    }

    if (!options.tlsCert.empty() && !LoadTlsCertificate(options.tlsCert, options.tlsKey, error)) {
        std::fprintf(stderr, "munchet-scores: %s\n", error.c_str());
        return 1;
    }

    const std::unique_ptr<ScoreStore> store = OpenStore(options, error);
    if (!store) {
        std::fprintf(stderr, "munchet-scores: %s\n", error.c_str());
        return 1;
    }

    ScoreServerConfig config;
    config.rateLimit = options.rateLimit;
    config.trustProxy = options.trustProxy;
    config.threads = options.threads;
    config.ioTimeout = std::chrono::seconds(options.timeoutSeconds);
    config.maxConnections = connections;
    config.maxConnectionsPerClient = options.maxPerClient;
    config.maxRequestBytes = static_cast<std::size_t>(options.maxRequestBytes);
    config.maxReplayBytes = static_cast<std::size_t>(options.maxReplayBytes);
    config.maxReplayFrames = static_cast<std::uint32_t>(options.maxReplayFrames);
    config.verifyCpu = std::chrono::milliseconds(options.verifyCpuMs);
    config.verifyQueue = static_cast<std::size_t>(options.verifyQueue);
    config.verifyThreads = options.verifyThreads;
    config.tls = !options.tlsCert.empty();
    // Counted only when someone can read the counts.
    ServerMetrics metrics;
    if (!options.adminHost.empty()) config.metrics = &metrics;
    config.nameBlocklist = options.nameBlocklist;
    config.verifyCpuPerClientMinute = std::chrono::milliseconds(options.verifyClientCpuMs);
    config.minBodyBytesPerSecond = static_cast<std::size_t>(options.minUploadRate);
    config.playFiles = options.playFiles;
    ScoreServer server(*store, config);
    const int port = server.Start(options.host, options.port, &error);
    if (port < 0) {
        std::fprintf(stderr, "munchet-scores: cannot listen on %s:%d: %s\n",
                     HostForDisplay(options.host).c_str(), options.port, error.c_str());
        return 1;
    }
    const std::string database =
        IsPostgresUri(options.dbPath) ? RedactPostgresUri(options.dbPath) : options.dbPath;
    std::fprintf(stderr, "munchet-scores: database %s, rate limit %d/min%s\n", database.c_str(),
                 options.rateLimit, options.trustProxy ? ", trusting X-Forwarded-For" : "");
    std::fprintf(stderr,
                 "munchet-scores: at most %d connections (%s per address), %d s to send a request, "
                 "requests up to %d bytes\n",
                 connections,
                 options.trustProxy || options.maxPerClient == 0
                     ? "any"
                     : std::to_string(options.maxPerClient).c_str(),
                 options.timeoutSeconds, options.maxRequestBytes);
    std::fprintf(stderr,
                 "munchet-scores: replays up to %d bytes and %d frames, %d ms of CPU each, %d ms a minute "
                 "per address, %d waiting for %d verifier threads, sent at %d bytes/s or more; %s\n",
                 options.maxReplayBytes, options.maxReplayFrames, options.verifyCpuMs,
                 options.verifyClientCpuMs, options.verifyQueue, options.verifyThreads, options.minUploadRate,
                 options.requireReplay ? "only verified rows shown" : "every row shown");
    AdminListener admin(*store, metrics);
    if (!options.adminHost.empty()) {
        const int adminPort = admin.Start(options.adminHost, options.adminPort, error);
        if (adminPort < 0) {
            std::fprintf(stderr, "munchet-scores: cannot listen for the admin on %s:%d: %s\n",
                         HostForDisplay(options.adminHost).c_str(), options.adminPort, error.c_str());
            server.Stop();
            return 1;
        }
        std::fprintf(stderr, "admin listening on %s:%d (/healthz, /readyz, /metrics)\n",
                     HostForDisplay(options.adminHost).c_str(), adminPort);
        if (!options.adminPortFile.empty() && !WritePortFile(options.adminPortFile, adminPort)) {
            std::fprintf(stderr, "munchet-scores: cannot write %s\n", options.adminPortFile.c_str());
            server.Stop();
            return 1;
        }
    }

    std::fprintf(stderr, "listening on %s:%d%s\n", HostForDisplay(options.host).c_str(), port,
                 config.tls ? " (HTTPS)" : "");
    if (!options.portFile.empty() && !WritePortFile(options.portFile, port)) {
        std::fprintf(stderr, "munchet-scores: cannot write %s\n", options.portFile.c_str());
        server.Stop();
        return 1;
    }

    int received;
    do {
        received = sigwaitinfo(&signals, nullptr);
        if (received == SIGHUP) ReloadCertificate(options);
    } while (received != SIGINT && received != SIGTERM);
    std::fprintf(stderr, "munchet-scores: shutting down\n");
    admin.Stop();
    server.Stop();
    std::fprintf(stderr, "munchet-scores: stored %llu rows in %llu commits\n",
                 static_cast<unsigned long long>(server.StoredRows()),
                 static_cast<unsigned long long>(server.Commits()));
    return 0;  // the store closes as it goes out of scope
}
