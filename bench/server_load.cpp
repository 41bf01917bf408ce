// Load generator for the score server, over loopback only and bounded in time.
// It starts the real munchet-scores (--rate-limit 0) on a scratch database
// holding 10,000 rows and, for each phase, keeps N kept-alive connections busy
// for a fixed time from one epoll thread, each with one request in flight;
// it prints requests per second and the p50/p99 latency. The web page is
// measured on the preloaded rows (first, last and one player's page, the JSON
// twin, a 304), and view.php alone and beside page load. The phases run once
// quietly and once during an attack of idle and trickling connections, and
// the server's memory (VmRSS/VmHWM) is read from /proc meanwhile. At the end
// the server's own count of rows and commits tells how many durable adds
// shared one sync.
// For reference it loads, in the same way, a bare libmicrohttpd server in
// this process that answers a fixed text of the table's size, and times
// durable inserts made one at a time, one sync each, as the old server did.
//
// usage: bench_server_load [--seconds S] [--connections N] [--rows R]
//                          [--idle N] [--trickling N] [--threads N] [--server PATH]
// The scratch database lives under $TMPDIR (default /tmp): TMPDIR=/dev/shm
// takes the disk's sync out of the figures and shows the server's own limit.
#include <microhttpd.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/load_phase.h"
#include "server/http/listen_socket.h"
#include "server/sqlite/sqlite_score_store.h"
#include "server/store/submission.h"
#include "server/store/table_cache.h"
#include "tests/server/attack_crowd.h"
#include "tests/server/server_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
    double seconds = 5.0;
    int connections = 32;
    int rows = 10000;
    int idle = 2000;
    int trickling = 200;
    int threads = 0;  // 0: the server's default
    std::string server = MUNCHET_SCORES_BINARY;
};

template <class MakeTarget>
PhaseResult RunPhase(int port, const Settings& settings, MakeTarget makeTarget,
                     const std::string& extraHeaders = {}) {
    return ::RunPhase(std::span<const int>(&port, 1), settings.connections, settings.seconds, makeTarget,
                      extraHeaders);
}

template <class MakeTarget>
std::vector<PhaseResult> RunGroups(int port, const Settings& settings, MakeTarget makeTarget, int groups) {
    return ::RunGroups(std::span<const int>(&port, 1), settings.connections, settings.seconds, makeTarget,
                       groups);
}

// VmRSS and VmHWM of a process, in MB.
void PrintMemory(const char* when, pid_t pid) {
    const std::string status = ReadFile("/proc/" + std::to_string(pid) + "/status");
    const auto field = [&](const char* name) {
        const std::size_t at = status.find(name);
        return at == std::string::npos ? 0.0 : std::atof(status.c_str() + at + std::strlen(name)) / 1024.0;
    };
    std::printf("server memory %-22s VmRSS %6.1f MB   VmHWM %6.1f MB\n", when, field("VmRSS:"),
                field("VmHWM:"));
    std::fflush(stdout);
}

// The rows a long-running server would hold, in one batch.
bool Preload(const std::string& path, int rows) {
    SqliteScoreStore store;
    std::string error;
    if (store.Open(path, error) && store.AddBatch(PreloadRows(rows), error)) return true;
    std::fprintf(stderr, "cannot prepare %s: %s\n", path.c_str(), error.c_str());
    return false;
}

// The web page on the preloaded rows: the first and the last page, a page of
// one player's rows (each needs its ranks counted), the JSON twin, and a
// reload of an unchanged page. Then view.php on half the connections, alone
// and beside as many connections reading the last page: the page must not
// make it slower.
void MeasurePages(int port, const Settings& settings) {
    const auto fixed = [](std::string target) { return [target](int, int) { return target; }; };
    const int lastPage = std::max(1, (settings.rows + 24) / 25);
    const std::string deep = "/?page=" + std::to_string(lastPage);
    const int playerRows = std::min(settings.rows, gamesPerPlayer);
    std::printf("\nthe web page (%d rows, players of %d rows):\n", settings.rows, playerRows);
    Print("page 1", RunPhase(port, settings, fixed("/")));
    Print(("page " + std::to_string(lastPage) + " (the last)").c_str(),
          RunPhase(port, settings, fixed(deep)));
    Print("one player's rows, page 2", RunPhase(port, settings, fixed("/?name=player0&page=2")));
    Print("JSON twin, page 1", RunPhase(port, settings, fixed("/api/scores")));
    const std::string tag = HeaderValue(RawGet(port, "/"), "ETag");
    Print("page 1 unchanged (304)", RunPhase(port, settings, fixed("/"), "If-None-Match: " + tag + "\r\n"));

    // The machine may be busy with other work: alone and beside take turns,
    // and the medians of their p99 are compared.
    Settings half = settings;
    half.connections = std::max(1, settings.connections / 2);
    half.seconds = std::max(0.1, settings.seconds / 2);
    Settings both = half;  // view.php on the even connections, pages on the odd
    both.connections = 2 * half.connections;
    std::printf("\nview.php on %d connections, alone and beside as many reading page %d, by turns:\n",
                half.connections, lastPage);
    std::vector<double> alone, besidePages;
    for (int round = 0; round < 3; ++round) {
        PhaseResult quiet = RunPhase(port, half, ViewRequest);
        alone.push_back(Percentile(quiet.latenciesUs, 0.99) / 1000);
        Print("view.php alone", std::move(quiet));
        std::vector<PhaseResult> beside = RunGroups(
            port, both, [&](int c, int s) { return c % 2 == 0 ? ViewRequest(c, s) : deep; }, 2);
        besidePages.push_back(Percentile(beside[0].latenciesUs, 0.99) / 1000);
        Print("view.php beside page load", std::move(beside[0]));
        Print("  the page load beside it", std::move(beside[1]));
    }
    std::printf("median view.php p99: alone %.2f ms, beside page load %.2f ms\n\n", Percentile(alone, 0.5),
                Percentile(besidePages, 0.5));
}

// A bare libmicrohttpd server in this process answering a fixed text, as
// fast as the library goes with the same threads: the floor under our costs.
void MeasureBareLibrary(const Settings& settings, const std::string& text) {
    const auto answer = [](void* cls, MHD_Connection* connection, const char*, const char*, const char*,
                           const char*, size_t*, void** state) {
        if (*state == nullptr) {  // answer once the whole request is in, to keep the connection
            *state = cls;
            return MHD_YES;
        }
        return MHD_queue_response(connection, MHD_HTTP_OK, static_cast<MHD_Response*>(cls));
    };
    MHD_Response* response =
        MHD_create_response_from_buffer(text.size(), const_cast<char*>(text.data()), MHD_RESPMEM_PERSISTENT);
    MHD_Daemon* daemon = MHD_start_daemon(MHD_USE_EPOLL_INTERNAL_THREAD, 0, nullptr, nullptr, answer,
                                          response, MHD_OPTION_THREAD_POOL_SIZE, 8u, MHD_OPTION_END);
    if (!daemon) return;
    const int port = MHD_get_daemon_info(daemon, MHD_DAEMON_INFO_BIND_PORT)->port;
    Print("reference: bare libmicrohttpd, view", RunPhase(port, settings, ViewRequest));
    MHD_stop_daemon(daemon);
    MHD_destroy_response(response);
}

// Durable inserts one at a time, one sync each: the old server's rate.
void MeasureOneSyncPerAdd(const std::string& path, double seconds) {
    SqliteScoreStore store;
    std::string error;
    if (!store.Open(path, error)) return;
    PhaseResult result;
    const Clock::time_point start = Clock::now();
    for (int i = 1; std::chrono::duration<double>(Clock::now() - start).count() < seconds; ++i) {
        const Clock::time_point t = Clock::now();
        if (!store.Add(Submission{"bare", 100 * i, 0, i, 0}, 0, "127.0.0.1", error)) ++result.failures;
        result.latenciesUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t).count());
        ++result.requests;
    }
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    Print("reference: one insert + sync, 1 thread", result);
}

bool ParseSettings(int argc, char** argv, Settings& settings) {
    const struct {
        const char* name;
        int* value;
        int low, high;
    } counts[] = {{"--connections", &settings.connections, 1, 1000},
                  {"--rows", &settings.rows, 0, 10000000},
                  {"--idle", &settings.idle, 0, 20000},
                  {"--trickling", &settings.trickling, 0, 20000},
                  {"--threads", &settings.threads, 0, 256}};
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view arg = argv[i];
        const char* value = argv[i + 1];
        const auto count =
            std::find_if(std::begin(counts), std::end(counts), [&](const auto& c) { return arg == c.name; });
        if (count != std::end(counts)) {
            *count->value = std::clamp(std::atoi(value), count->low, count->high);
        } else if (arg == "--seconds") {
            settings.seconds = std::clamp(std::atof(value), 0.1, 60.0);
        } else if (arg == "--server") {
            settings.server = value;
        } else {
            return false;
        }
    }
    return argc % 2 == 1;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!ParseSettings(argc, argv, settings)) {
        std::fprintf(stderr,
                     "usage: bench_server_load [--seconds S] [--connections N] [--rows R] [--idle N]"
                     " [--trickling N] [--threads N] [--server PATH]\n");
        return 2;
    }
    // Output into a closed pipe (| head) must not kill us before the server
    // we started is stopped and the scratch directory removed.
    std::signal(SIGPIPE, SIG_IGN);
    RaiseOpenFileLimit();
    ScratchDir dir;
    const std::string db = dir.File("scores.db");
    const std::string portFile = dir.File("port");
    const std::string log = dir.File("server.log");
    if (!Preload(db, settings.rows)) return 1;
    std::vector<std::string> options = {"--listen",    "127.0.0.1:0", "--db",         db,
                                        "--port-file", portFile,      "--rate-limit", "0"};
    if (settings.threads > 0) options.insert(options.end(), {"--threads", std::to_string(settings.threads)});
    auto server = std::make_unique<ServerProcess>(settings.server, options, log);
    if (!server->WaitForPort(portFile)) {
        std::fprintf(stderr, "munchet-scores did not start:\n%s", ReadFile(log).c_str());
        return 1;
    }
    const int port = server->port;
    std::printf("munchet-scores (--rate-limit 0, %s threads) on 127.0.0.1:%d, %d stored rows\n",
                settings.threads > 0 ? std::to_string(settings.threads).c_str() : "default", port,
                settings.rows);
    std::printf("%d kept-alive connections, %.1f s a phase, %u hardware threads\n\n", settings.connections,
                settings.seconds, std::thread::hardware_concurrency());

    PrintMemory("at rest", server->pid);
    Print("view.php", RunPhase(port, settings, ViewRequest));
    // Before any add.php phase, so the pages are read from exactly the preloaded rows.
    MeasurePages(port, settings);
    Print("add.php (durable)", RunPhase(port, settings, AddRequest));
    Print("view.php and add.php, half each", RunPhase(port, settings, [](int c, int s) {
              return c % 2 == 0 ? ViewRequest(c, s) : AddRequest(c, s);
          }));

    {
        // 100 attacking addresses keep every connection under the per-address bound.
        AttackCrowd crowd(
            port, {.idle = settings.idle, .trickling = settings.trickling, .keptAlive = 0, .addresses = 100});
        const auto until = Clock::now() + std::chrono::seconds(10);
        while (crowd.Connected() < settings.idle + settings.trickling && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::printf("\nattack: %d idle and %d trickling connections (%d connected)\n", settings.idle,
                    settings.trickling, crowd.Connected());
        PrintMemory("under attack", server->pid);
        Print("view.php under attack", RunPhase(port, settings, ViewRequest));
        Print("add.php (durable) under attack", RunPhase(port, settings, AddRequest));
        PrintMemory("after the attack phases", server->pid);
    }

    kill(server->pid, SIGTERM);
    server->Wait();
    const std::string text = ReadFile(log);
    std::printf("\nwhat the server logged besides requests:\n");
    for (const std::string& line : Lines(text))
        if (!(line.size() > 4 && line[4] == '-' && std::isdigit(static_cast<unsigned char>(line[0]))))
            std::printf("  %s\n", line.c_str());
    const std::size_t at = text.find("stored ");
    unsigned long long rows = 0, commits = 0;
    if (at != std::string::npos &&
        std::sscanf(text.c_str() + at, "stored %llu rows in %llu commits", &rows, &commits) == 2 &&
        commits > 0) {
        std::printf("\nserver stored %llu rows in %llu commits: %.1f adds per sync\n\n", rows, commits,
                    static_cast<double>(rows) / static_cast<double>(commits));
    }

    SqliteScoreStore store;
    std::string error;
    std::vector<TableRow> top;
    if (store.Open(db, error) && store.ReadTop(top, error)) MeasureBareLibrary(settings, FormatTable(top));
    store.Close();
    MeasureOneSyncPerAdd(dir.File("reference.db"), settings.seconds);
    return 0;
}
