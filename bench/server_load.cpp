// Load generator for the score server, over loopback only and bounded in time.
// It starts munchet-scores' server code in this process on a scratch database
// holding 10,000 rows (or, with --port, loads a munchet-scores already running
// on 127.0.0.1), then for each phase keeps N kept-alive connections busy for a
// fixed time and prints requests per second and the p50/p99 latency.
// For reference it loads, in the same way, a bare cpp-httplib server that
// answers a fixed text of the same size as the table, and times bare SQLite
// inserts with the server's durability settings, without HTTP.
//
// usage: bench_server_load [--seconds S] [--connections N] [--rows R] [--port P]
#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "server/score_server.h"
#include "server/score_store.h"
#include "server/submission.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
    double seconds = 3.0;
    int connections = 4;
    int rows = 10000;
    int port = 0;  // 0: start our own server
};

// One kept-alive connection that reconnects whenever the server closes it.
struct Connection {
    int port;
    int fd = -1;
    std::string buffer;

    explicit Connection(int port) : port(port) {}
    ~Connection() { Close(); }

    void Close() {
        if (fd >= 0) ::close(fd);
        fd = -1;
        buffer.clear();
    }

    bool Open() {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const int yes = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            Close();
            return false;
        }
        return true;
    }

    // Sends one request and reads its reply; returns the status, 0 on failure.
    int Exchange(const std::string& request) {
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (fd < 0 && !Open()) return 0;
            if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
                static_cast<ssize_t>(request.size())) {
                bool close = false;
                const int status = ReadReply(close);
                if (close || status == 0) Close();
                if (status != 0) return status;
            } else {
                Close();
            }
        }
        return 0;
    }

    int ReadReply(bool& close) {
        std::size_t headerEnd;
        while ((headerEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
            if (!Fill()) return 0;
        }
        const std::string head = buffer.substr(0, headerEnd);
        const int status = head.size() > 12 ? std::atoi(head.c_str() + 9) : 0;
        std::size_t length = 0;
        const std::size_t at = head.find("Content-Length: ");
        if (at != std::string::npos) length = std::strtoul(head.c_str() + at + 16, nullptr, 10);
        close = head.find("Connection: close") != std::string::npos;
        while (buffer.size() < headerEnd + 4 + length) {
            if (!Fill()) return 0;
        }
        buffer.erase(0, headerEnd + 4 + length);
        return status;
    }

    bool Fill() {
        char chunk[16384];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) return false;
        buffer.append(chunk, static_cast<std::size_t>(n));
        return true;
    }
};

struct PhaseResult {
    std::size_t requests = 0;
    std::size_t failures = 0;
    double seconds = 0;
    std::vector<double> latenciesUs;
};

// makeTarget(connection, sequence) gives each request's target.
template <class MakeTarget>
PhaseResult RunPhase(int port, const Settings& settings, MakeTarget makeTarget) {
    std::vector<PhaseResult> perThread(static_cast<std::size_t>(settings.connections));
    std::vector<std::thread> threads;
    const Clock::time_point start = Clock::now();
    const Clock::time_point end =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(settings.seconds));
    for (int c = 0; c < settings.connections; ++c) {
        threads.emplace_back([&, c] {
            Connection connection(port);
            PhaseResult& mine = perThread[static_cast<std::size_t>(c)];
            for (int sequence = 0; Clock::now() < end; ++sequence) {
                const std::string request =
                    "GET " + makeTarget(c, sequence) + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
                const Clock::time_point sent = Clock::now();
                const int status = connection.Exchange(request);
                mine.latenciesUs.push_back(
                    std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
                ++mine.requests;
                if (status != 200) ++mine.failures;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    PhaseResult total;
    total.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (PhaseResult& r : perThread) {
        total.requests += r.requests;
        total.failures += r.failures;
        total.latenciesUs.insert(total.latenciesUs.end(), r.latenciesUs.begin(), r.latenciesUs.end());
    }
    return total;
}

double Percentile(std::vector<double>& values, double p) {
    if (values.empty()) return 0;
    const std::size_t k = std::min(values.size() - 1, static_cast<std::size_t>(p * values.size()));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(k), values.end());
    return values[k];
}

void Print(const char* name, PhaseResult result) {
    std::printf("%-34s %9.0f req/s   p50 %8.1f us   p99 %8.1f us   (%zu requests, %zu failed)\n", name,
                result.requests / result.seconds, Percentile(result.latenciesUs, 0.50),
                Percentile(result.latenciesUs, 0.99), result.requests, result.failures);
    std::fflush(stdout);
}

// Fills the scratch database in one transaction: the preload is not what is measured.
bool Preload(const std::string& path, int rows) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO scores (name, score, level, munchets, food, time, client)"
                       " VALUES (?1, ?2, 0, ?3, 0, 0, '127.0.0.1')",
                       -1, &insert, nullptr);
    std::srand(42);
    for (int i = 0; i < rows; ++i) {
        const std::string name = "preload" + std::to_string(i);
        const int munchets = 1 + std::rand() % 100000;
        sqlite3_bind_text(insert, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 2, 100 * munchets);
        sqlite3_bind_int(insert, 3, munchets);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    const bool ok = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// Inserts without HTTP, through the same store the server uses: the cost of
// a durable commit on this disk, which bounds the rate of accepted submissions.
void TimeBareInserts(ScoreStore& store, double seconds) {
    std::string error;
    PhaseResult result;
    const Clock::time_point start = Clock::now();
    for (int i = 0; std::chrono::duration<double>(Clock::now() - start).count() < seconds; ++i) {
        const Clock::time_point t = Clock::now();
        if (!store.Add(Submission{"bare", 100 * (i + 1), 0, i + 1, 0}, 0, "127.0.0.1", error))
            ++result.failures;
        result.latenciesUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t).count());
        ++result.requests;
    }
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    Print("reference: ScoreStore::Add, 1 thread", result);
}

bool ParseSettings(int argc, char** argv, Settings& settings) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        if (arg == "--seconds") {
            settings.seconds = std::clamp(std::atof(value), 0.1, 60.0);
        } else if (arg == "--connections") {
            settings.connections = std::clamp(std::atoi(value), 1, 256);
        } else if (arg == "--rows") {
            settings.rows = std::clamp(std::atoi(value), 0, 10000000);
        } else if (arg == "--port") {
            settings.port = std::clamp(std::atoi(value), 1, 65535);
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!ParseSettings(argc, argv, settings)) {
        std::fprintf(stderr,
                     "usage: bench_server_load [--seconds S] [--connections N] [--rows R] [--port P]\n");
        return 2;
    }

    std::string dir;
    ScoreStore store;
    std::unique_ptr<ScoreServer> server;
    int port = settings.port;
    if (port == 0) {
        std::string pattern = (std::filesystem::temp_directory_path() / "munchet-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return 1;
        dir = pattern;
        const std::string path = dir + "/scores.db";
        std::string error;
        if (!store.Open(path, error) || !Preload(path, settings.rows)) {
            std::fprintf(stderr, "cannot prepare %s: %s\n", path.c_str(), error.c_str());
            return 1;
        }
        ScoreServerConfig config;
        config.rateLimit = 0;
        config.log = [](std::string_view) {};  // a log line per request would measure the terminal
        server = std::make_unique<ScoreServer>(store, config);
        port = server->Start("127.0.0.1", 0);
        if (port < 0) return 1;
        std::printf(
            "munchet-scores server code in process, 127.0.0.1:%d, %lld rows, %d threads, rate limit off\n",
            port, static_cast<long long>(store.RowCount()), config.threads);
    } else {
        std::printf("munchet-scores at 127.0.0.1:%d (run it with --rate-limit 0)\n", port);
    }
    std::printf("%d kept-alive connections, %.1f s per phase, on %u hardware threads\n\n",
                settings.connections, settings.seconds, std::thread::hardware_concurrency());

    Print("view.php",
          RunPhase(port, settings, [](int, int) { return std::string("/hosted/vlkn/scores/pr/view.php"); }));
    Print("add.php", RunPhase(port, settings, [](int connection, int sequence) {
              const int munchets = 1 + (sequence * 7919 + connection) % 100000;
              const Submission s{"bench" + std::to_string(connection), 100 * munchets, 0, munchets, 0};
              return "/hosted/vlkn/scores/pr/add.php?" + FormatSubmissionQuery(s);
          }));
    Print("view.php and add.php, half each", RunPhase(port, settings, [](int connection, int sequence) {
              if (connection % 2 == 0) return std::string("/hosted/vlkn/scores/pr/view.php");
              const int munchets = 1 + (sequence * 104729 + connection) % 100000;
              const Submission s{"mixed" + std::to_string(connection), 100 * munchets, 0, munchets, 0};
              return "/hosted/vlkn/scores/pr/add.php?" + FormatSubmissionQuery(s);
          }));

    if (server) {
        server->Stop();
        std::printf("\n");
        // Same-sized reply from a bare cpp-httplib server with its own loop.
        std::string table;
        std::string error;
        store.TableText(table, error);
        httplib::Server bare;
        bare.Get("/hosted/vlkn/scores/pr/view.php", [&](const httplib::Request&, httplib::Response& res) {
            res.set_content(table, "text/plain");
        });
        bare.new_task_queue = [] { return new httplib::ThreadPool(8); };
        bare.set_tcp_nodelay(true);
        const int barePort = bare.bind_to_any_port("127.0.0.1");
        std::thread listener([&] { bare.listen_after_bind(); });
        while (!bare.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        Print("reference: bare cpp-httplib, view", RunPhase(barePort, settings, [](int, int) {
                  return std::string("/hosted/vlkn/scores/pr/view.php");
              }));
        bare.stop();
        listener.join();
        TimeBareInserts(store, settings.seconds);
        store.Close();
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    return 0;
}
