// What counting for /metrics costs: two real munchet-scores on copies of one
// database, one with the admin listener (and so its counters) on and one
// without, loaded by turns with view.php, the web page and durable add.php
// over kept-alive connections. The machine may be busy with other work, so
// each phase runs several rounds alternating the two, and the medians are
// compared. A second server without metrics, run the same way, shows how
// far two identical servers differ on this machine at this time.
//
// usage: bench_server_metrics [--seconds S] [--connections N] [--rounds N]
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/load_phase.h"
#include "server/http/listen_socket.h"
#include "server/sqlite/sqlite_score_store.h"

namespace {

struct Settings {
    double seconds = 2.0;
    int connections = 32;
    int rounds = 5;
};

std::unique_ptr<ServerProcess> Start(const ScratchDir& dir, const std::string& name, bool metrics) {
    const std::string db = dir.File(name + ".db");
    std::filesystem::copy_file(dir.File("seed.db"), db);
    std::vector<std::string> args = {
        "--listen", "127.0.0.1:0", "--db", db, "--port-file", dir.File(name + ".port"), "--rate-limit", "0"};
    if (metrics) args.insert(args.end(), {"--admin-listen", "127.0.0.1:0"});
    auto server = std::make_unique<ServerProcess>(MUNCHET_SCORES_BINARY, args, dir.File(name + ".log"));
    if (!server->WaitForPort(dir.File(name + ".port"))) return nullptr;
    return server;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view arg = argv[i];
        if (arg == "--seconds") {
            settings.seconds = std::clamp(std::atof(argv[i + 1]), 0.1, 60.0);
        } else if (arg == "--connections") {
            settings.connections = std::clamp(std::atoi(argv[i + 1]), 1, 1000);
        } else if (arg == "--rounds") {
            settings.rounds = std::clamp(std::atoi(argv[i + 1]), 1, 100);
        } else {
            std::fprintf(stderr,
                         "usage: bench_server_metrics [--seconds S] [--connections N] [--rounds N]\n");
            return 2;
        }
    }
    std::signal(SIGPIPE, SIG_IGN);
    RaiseOpenFileLimit();
    ScratchDir dir;
    {
        SqliteScoreStore seed;
        std::string error;
        if (!seed.Open(dir.File("seed.db"), error) || !seed.AddBatch(PreloadRows(10000), error)) {
            std::fprintf(stderr, "cannot prepare the database: %s\n", error.c_str());
            return 1;
        }
    }
    const auto off = Start(dir, "off", false);
    const auto on = Start(dir, "on", true);
    const auto control = Start(dir, "control", false);
    if (!off || !on || !control) {
        std::fprintf(stderr, "munchet-scores did not start\n");
        return 1;
    }
    std::printf("%d kept-alive connections, %d rounds of %.1f s per server and phase\n\n",
                settings.connections, settings.rounds, settings.seconds);
    const struct {
        const char* name;
        std::string (*target)(int, int);
    } phases[] = {{"view.php", ViewRequest},
                  {"web page 1", [](int, int) { return std::string("/"); }},
                  {"add.php (durable)", AddRequest}};
    for (const auto& phase : phases) {
        std::vector<double> rates[3];
        const ServerProcess* servers[3] = {off.get(), on.get(), control.get()};
        for (int round = 0; round < settings.rounds; ++round) {
            // Each round in another order, so no server always goes first.
            for (int turn = 0; turn < 3; ++turn) {
                const int which = (turn + round) % 3;
                const int port = servers[which]->port;
                const PhaseResult result = RunPhase(std::span<const int>(&port, 1), settings.connections,
                                                    settings.seconds, phase.target);
                rates[which].push_back(static_cast<double>(result.requests) / result.seconds);
            }
        }
        const double offRate = Median(rates[0]), onRate = Median(rates[1]), controlRate = Median(rates[2]);
        std::printf("%-20s metrics off %9.0f req/s   on %9.0f req/s   on/off %6.3f   (off again/off %6.3f)\n",
                    phase.name, offRate, onRate, onRate / offRate, controlRate / offRate);
        std::fflush(stdout);
    }
    return 0;
}
