// HTTPS served by the real munchet-scores, over loopback: full handshakes a
// second (each on a new connection, no session resumed), and view.php
// requests a second on kept-alive TLS connections beside the same over
// plain HTTP. The certificate is an ECDSA P-256 one from a throw-away
// authority, as a Let's Encrypt ECDSA certificate would be.
//
// usage: bench_server_tls [--seconds S] [--connections N] [--handshakers N]
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <thread>
#include <vector>

#include "bench/load_phase.h"
#include "server/http/listen_socket.h"
#include "tests/server/tls_client.h"
#include "tests/support/throwaway_ca.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
    double seconds = 3.0;
    int connections = 32;
    int handshakers = 4;
};

// Each of `threads` threads runs work() until the time is up; the phase's result.
template <class Work>
PhaseResult OnThreads(int threads, double seconds, Work work) {
    std::vector<PhaseResult> results(static_cast<std::size_t>(threads));
    std::vector<std::thread> running;
    const Clock::time_point start = Clock::now();
    const auto until =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    for (int t = 0; t < threads; ++t)
        running.emplace_back([&, t] { work(results[static_cast<std::size_t>(t)], until); });
    for (std::thread& thread : running) thread.join();
    PhaseResult all;
    all.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (PhaseResult& one : results) {
        all.requests += one.requests;
        all.failures += one.failures;
        all.latenciesUs.insert(all.latenciesUs.end(), one.latenciesUs.begin(), one.latenciesUs.end());
    }
    return all;
}

void Time(PhaseResult& result, Clock::time_point began, bool ok) {
    result.latenciesUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - began).count());
    ++result.requests;
    if (!ok) ++result.failures;
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
        } else if (arg == "--handshakers") {
            settings.handshakers = std::clamp(std::atoi(argv[i + 1]), 1, 64);
        } else {
            std::fprintf(stderr,
                         "usage: bench_server_tls [--seconds S] [--connections N] [--handshakers N]\n");
            return 2;
        }
    }
    std::signal(SIGPIPE, SIG_IGN);
    RaiseOpenFileLimit();
    ThrowawayCa ca;
    if (!ca.Make() || !ca.Issue("server", "localhost", "bench")) {
        std::fprintf(stderr, "certtool (gnutls-bin) is needed\n");
        return 1;
    }
    ScratchDir dir;
    const auto start = [&](const std::string& name, std::vector<std::string> extra) {
        std::vector<std::string> args = {"--listen",     "127.0.0.1:0",
                                         "--db",         dir.File(name + ".db"),
                                         "--port-file",  dir.File(name + ".port"),
                                         "--rate-limit", "0"};
        args.insert(args.end(), extra.begin(), extra.end());
        auto server = std::make_unique<ServerProcess>(MUNCHET_SCORES_BINARY, args, dir.File(name + ".log"));
        return server->WaitForPort(dir.File(name + ".port")) ? std::move(server) : nullptr;
    };
    const auto https =
        start("https", {"--tls-cert", ca.File("server.pem"), "--tls-key", ca.File("server.key")});
    const auto http = start("http", {});
    if (!https || !http) {
        std::fprintf(stderr, "munchet-scores did not start\n");
        return 1;
    }
    std::printf("%.1f s a phase, %u hardware threads\n\n", settings.seconds,
                std::thread::hardware_concurrency());

    const int port = https->port;
    Print(
        ("TLS handshakes, " + std::to_string(settings.handshakers) + " clients").c_str(),
        OnThreads(settings.handshakers, settings.seconds, [&](PhaseResult& result, Clock::time_point until) {
            while (Clock::now() < until) {
                const Clock::time_point began = Clock::now();
                TlsClient client(port, ca.CaFile(), "localhost");
                Time(result, began, client.Connected());
            }
        }));
    Print(
        ("view.php over TLS, " + std::to_string(settings.connections) + " kept-alive").c_str(),
        OnThreads(settings.connections, settings.seconds, [&](PhaseResult& result, Clock::time_point until) {
            TlsClient client(port, ca.CaFile(), "localhost");
            while (client.Connected() && Clock::now() < until) {
                const Clock::time_point began = Clock::now();
                Time(result, began, client.Get(viewTarget).status == 200);
            }
        }));
    Print(
        ("view.php over HTTP, " + std::to_string(settings.connections) + " kept-alive").c_str(),
        RunPhase(std::span<const int>(&http->port, 1), settings.connections, settings.seconds, ViewRequest));
    return 0;
}
