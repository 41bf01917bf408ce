// bench_admin_delay: how long an operator's `munchet-scores admin hide` takes
// to reach the players, on SQLite and on PostgreSQL: from starting the
// command to the running server's view.php no longer holding the row (the
// command's own run included), and back again after `unhide`.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/server/postgres_server.h"
#include "tests/server/server_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int rounds = 10;

int RunAdmin(const std::string& db, const std::vector<std::string>& args, const std::string& log) {
    std::vector<std::string> full = {"admin", "--db", db};
    full.insert(full.end(), args.begin(), args.end());
    ServerProcess admin(MUNCHET_SCORES_BINARY, full, log);
    const int status = admin.Wait();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Milliseconds from starting the command until shown() gives `want`, or -1.
double Delay(const std::string& db, const std::vector<std::string>& args, const std::string& log, int port,
             bool want) {
    const auto start = Clock::now();
    if (RunAdmin(db, args, log) != 0) return -1;
    while (Clock::now() - start < std::chrono::seconds(10)) {
        const bool shown = RawGet(port, viewTarget).body.find("TARGET;") != std::string::npos;
        if (shown == want) return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
}

void Report(const char* store, const char* what, std::vector<double> delays) {
    std::sort(delays.begin(), delays.end());
    std::printf("%-10s %-7s median %6.0f ms  max %6.0f ms  (%d rounds, command included)\n", store, what,
                delays[delays.size() / 2], delays.back(), rounds);
}

bool Measure(const char* store, const std::string& db, ScratchDir& dir) {
    const std::string portFile = dir.File(std::string(store) + ".port");
    ServerProcess server(
        MUNCHET_SCORES_BINARY,
        {"--listen", "127.0.0.1:0", "--db", db, "--port-file", portFile, "--rate-limit", "0"},
        dir.File("server.log"));
    if (!server.WaitForPort(portFile)) {
        std::fprintf(stderr, "%s: the server did not start\n", store);
        return false;
    }
    for (int m = 1; m <= 50; ++m)
        RawGet(server.port, AddTarget("name=P" + std::to_string(m) + "&score=" + std::to_string(100 * m) +
                                      "&level=0&munchets=" + std::to_string(m) + "&food=0"));
    RawGet(server.port, AddTarget("name=TARGET&score=2500&level=0&munchets=25&food=0"));
    // Stored one by one into a new database: the target is the 51st row.
    const std::string id = "51";
    std::vector<double> hide, unhide;
    for (int round = 0; round < rounds; ++round) {
        // Servers reread the table on a tick of their own: start at every phase of it.
        std::this_thread::sleep_for(std::chrono::milliseconds(1000 * round / rounds));
        hide.push_back(
            Delay(db, {"hide", id, "--reason", "bench"}, dir.File("admin.log"), server.port, false));
        unhide.push_back(Delay(db, {"unhide", id}, dir.File("admin.log"), server.port, true));
    }
    if (std::find(hide.begin(), hide.end(), -1) != hide.end() ||
        std::find(unhide.begin(), unhide.end(), -1) != unhide.end()) {
        std::fprintf(stderr, "%s: a change never showed: %s\n", store,
                     ReadFile(dir.File("admin.log")).c_str());
        return false;
    }
    Report(store, "hide", hide);
    Report(store, "unhide", unhide);
    return true;
}

}  // namespace

int main() {
    ScratchDir dir;
    bool ok = Measure("sqlite", dir.File("scores.db"), dir);
    ThrowAwayPostgres postgres(true);
    std::string uri, error;
    if (postgres.Start(error) && postgres.CreateDatabase(uri, error)) {
        ok = Measure("postgresql", uri, dir) && ok;
    } else {
        std::printf("postgresql skipped: %s\n", error.c_str());
    }
    return ok ? 0 : 1;
}
