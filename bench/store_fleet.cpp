// Durable adds and table reads through the real munchet-scores on each store,
// in one run and on one machine: the SQLite file with one server process,
// then one PostgreSQL database with one and with two server processes (the
// connections spread over both). PostgreSQL is a server of our own on
// loopback, syncing to disk as a production server does. Each database holds
// the same preloaded rows; each setup prints requests per second and the
// p50/p99 latency of view.php, of durable add.php and of ticket.php, and how
// many adds shared one commit.
//
// usage: bench_store_fleet [--seconds S] [--connections N] [--rows R] [--threads N]
// Scratch files live under $TMPDIR (default /tmp).
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/load_phase.h"
#include "server/http/listen_socket.h"
#include "server/pg/pg_score_store.h"
#include "server/sqlite/sqlite_score_store.h"
#include "tests/server/postgres_server.h"
#include "tests/server/server_test_support.h"

namespace {

struct Settings {
    double seconds = 5.0;
    int connections = 32;
    int rows = 10000;
    int threads = 4;  // per server process
};

bool ParseSettings(int argc, char** argv, Settings& settings) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view arg = argv[i];
        const char* value = argv[i + 1];
        if (arg == "--seconds") {
            settings.seconds = std::clamp(std::atof(value), 0.1, 60.0);
        } else if (arg == "--connections") {
            settings.connections = std::clamp(std::atoi(value), 1, 1000);
        } else if (arg == "--rows") {
            settings.rows = std::clamp(std::atoi(value), 0, 10000000);
        } else if (arg == "--threads") {
            settings.threads = std::clamp(std::atoi(value), 1, 256);
        } else {
            return false;
        }
    }
    return argc % 2 == 1;
}

// Runs the phases against `processes` servers on database, then stops them
// and tells how the adds were grouped into commits.
void Measure(const std::string& name, const std::string& database, int processes, const Settings& settings,
             const ScratchDir& dir) {
    std::vector<std::unique_ptr<ServerProcess>> servers;
    std::vector<int> ports;
    std::vector<std::string> logs;
    for (int p = 0; p < processes; ++p) {
        const std::string portFile = dir.File(name + "-port" + std::to_string(p));
        logs.push_back(dir.File(name + "-log" + std::to_string(p)));
        servers.push_back(std::make_unique<ServerProcess>(
            MUNCHET_SCORES_BINARY,
            std::vector<std::string>{"--listen", "127.0.0.1:0", "--db", database, "--port-file", portFile,
                                     "--rate-limit", "0", "--threads", std::to_string(settings.threads)},
            logs.back()));
        if (!servers.back()->WaitForPort(portFile)) {
            std::fprintf(stderr, "munchet-scores did not start:\n%s", ReadFile(logs.back()).c_str());
            return;
        }
        ports.push_back(servers.back()->port);
    }
    std::printf("\n%s\n", name.c_str());
    Print("  view.php", RunPhase(ports, settings.connections, settings.seconds, ViewRequest));
    Print("  add.php (durable)", RunPhase(ports, settings.connections, settings.seconds, AddRequest));
    // A ticket is made from the key alone, read once at start: no store work.
    Print("  ticket.php", RunPhase(ports, settings.connections, settings.seconds, TicketRequest));
    unsigned long long rows = 0, commits = 0;
    for (std::size_t p = 0; p < servers.size(); ++p) {
        kill(servers[p]->pid, SIGTERM);
        servers[p]->Wait();
        const std::string text = ReadFile(logs[p]);
        unsigned long long r = 0, c = 0;
        const std::size_t at = text.find("stored ");
        if (at != std::string::npos &&
            std::sscanf(text.c_str() + at, "stored %llu rows in %llu commits", &r, &c) == 2) {
            rows += r;
            commits += c;
        }
    }
    if (commits > 0)
        std::printf("  %llu rows in %llu commits: %.1f adds per commit\n", rows, commits,
                    static_cast<double>(rows) / static_cast<double>(commits));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!ParseSettings(argc, argv, settings)) {
        std::fprintf(stderr,
                     "usage: bench_store_fleet [--seconds S] [--connections N] [--rows R] [--threads N]\n");
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    RaiseOpenFileLimit();
    ScratchDir dir;
    ThrowAwayPostgres postgres(true);
    std::string error;
    if (!postgres.Start(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const std::vector<ScoreRow> preload = PreloadRows(settings.rows);
    const std::string sqlite = dir.File("scores.db");
    {
        SqliteScoreStore store;
        if (!store.Open(sqlite, error) || !store.AddBatch(preload, error)) {
            std::fprintf(stderr, "cannot prepare %s: %s\n", sqlite.c_str(), error.c_str());
            return 1;
        }
    }
    // A database of its own for each PostgreSQL setup, each with the same rows.
    const auto preparedPostgres = [&](std::string& uri) {
        if (!postgres.CreateDatabase(uri, error)) return false;
        PgScoreStore store;
        PgSettings pg;
        pg.uri = uri;
        return store.Open(pg, error) && store.AddBatch(preload, error);
    };
    std::string onePostgres, twoPostgres;
    if (!preparedPostgres(onePostgres) || !preparedPostgres(twoPostgres)) {
        std::fprintf(stderr, "cannot prepare PostgreSQL: %s\n", error.c_str());
        return 1;
    }
    std::printf(
        "%d stored rows, %d kept-alive connections, %.1f s a phase, %d threads per server process,"
        " %u hardware threads; PostgreSQL 15 on loopback with fsync on\n",
        settings.rows, settings.connections, settings.seconds, settings.threads,
        std::thread::hardware_concurrency());
    Measure("SQLite, 1 process", sqlite, 1, settings, dir);
    Measure("PostgreSQL, 1 process", onePostgres, 1, settings, dir);
    Measure("PostgreSQL, 2 processes on one database", twoPostgres, 2, settings, dir);
    return 0;
}
