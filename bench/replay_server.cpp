// What proving scores costs the score server: it starts the real
// munchet-scores on a scratch SQLite database, records games headless (a bot
// that keeps away from the munchets for the first minutes, then meets one),
// and sends their replays to replay.php, first one at a time, then from
// several clients at once. (Replay sizes are bench_replay's: its frame times
// are a real window loop's, these a steady 10 ms.) It prints replays verified per second, game
// minutes proven per second of wall time, and the server's CPU time (from
// /proc) per game minute. Last, one address floods the verifier with replays
// made to be slow to play (tests/server/heavy_replay.h) while another sends
// the games again, one at a time: it prints how much longer each honest
// replay waited than it did alone, and what the flooding address was told.
// Then replays verified per second by a server with one verifier thread and
// by one with two, new games sent from several clients at once.
//
// usage: bench_scores_replay [--games N] [--minutes M] [--clients C] [--rate-limit N]
//                            [--flood-pause-ms MS] [--server PATH]
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../tests/support/headless_game.h"
#include "engine/input_journal.h"
#include "replay/replay_recorder.h"
#include "server/store/replay_admission.h"
#include "server/store/replay_upload.h"
#include "server/store/submission.h"
#include "tests/server/heavy_replay.h"
#include "tests/server/server_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
    int games = 8;
    double minutes = 2.0;  // of play before the bot seeks a munchet
    int clients = 4;
    // The server's rate limit per address; 0 (no limit) lets the flooding
    // address send as fast as it can, the worst case.
    std::string rateLimit = "0";
    // What the flooding address waits after each answer: 0 sends as fast as
    // it can, which also floods the server with requests; a pause leaves the
    // verifier's turns alone to measure.
    int floodPauseMs = 0;
    std::string server = MUNCHET_SCORES_BINARY;
};

struct SentGame {
    std::string bytes;
    std::string query;
    double minutes = 0;
    Replay replay;
};

// Away from the nearest munchet, focused, for playFrames; then into it.
FrameInput Steer(const Game& game, int frame, int playFrames) {
    FrameInput input;
    const Player& p = game.players[0];
    const Munchet* nearest = nullptr;
    float best = 1e30f;
    for (const Munchet& m : game.munchetList) {
        const float d = (m.x - p.x) * (m.x - p.x) + (m.y - p.y) * (m.y - p.y);
        if (d < best) best = d, nearest = &m;
    }
    float tx = p.x, ty = p.y;
    if (nearest && frame >= playFrames) {
        tx = nearest->x, ty = nearest->y;
    } else if (nearest && best < 160.0f * 160.0f) {
        tx = 2 * p.x - nearest->x, ty = 2 * p.y - nearest->y;
        tx = std::clamp(tx, -300.0f, 300.0f), ty = std::clamp(ty, -200.0f, 200.0f);
    }
    input.Hold(p.focusKey);
    if (tx < p.x - 4) input.Hold(p.leftKey);
    if (tx > p.x + 4) input.Hold(p.rightKey);
    if (ty < p.y - 4) input.Hold(p.upKey);
    if (ty > p.y + 4) input.Hold(p.downKey);
    return input;
}

SentGame Record(int seed, double minutes, const GameTicket& ticket) {
    SentGame recorded;
    HeadlessGame g(seed);
    g.game.random.SetState(ticket.random);
    ReplayRecorder recorder;
    g.game.StartGame();
    recorder.GameBeganBeforeFrames(g.game);
    const int playFrames = static_cast<int>(minutes * 6000);
    int frame = 0;
    for (; !recorder.HasFinished() && frame < playFrames + 60000; ++frame) {
        g.RunFrame(Steer(g.game, frame, playFrames).Lasting(0.01f));
        recorder.FrameRan(g.game, g.lastInput);
    }
    std::optional<Replay> replay = recorder.TakeFinished("Bench", 1767225600);
    // The server takes positive scores only; a game that lost more food than
    // it gained is not sent.
    if (!replay || replay->summary.counters.score <= 0) return recorded;
    replay->summary.ticket = ticket;
    const ReplayCounters& c = replay->summary.counters;
    recorded.bytes = WriteReplay(*replay);
    recorded.query = FormatSubmissionQuery({"Bench", c.score, c.level, c.munchets, c.food});
    recorded.minutes = static_cast<double>(replay->frames.size()) / 6000.0;
    recorded.replay = std::move(*replay);
    return recorded;
}

// Tells the server the game began, then dates that start back by the game's
// length in its SQLite file: as if it had been played in real time.
bool Begin(int port, const std::string& database, const SentGame& game) {
    const GameTicket& t = game.replay.summary.ticket;
    if (RawGet(port,
               "/hosted/vlkn/scores/pr/start.php?ticket=" + std::to_string(t.id) + "&mac=" + KeyToHex(t.mac))
            .body != "OK\n")
        return false;
    sqlite3* db = nullptr;
    const std::string sql = "UPDATE tickets SET started_at = started_at - " +
                            std::to_string(static_cast<long long>(game.minutes * 60000)) +
                            " WHERE id = " + std::to_string(t.id);
    const bool done = sqlite3_open(database.c_str(), &db) == SQLITE_OK &&
                      sqlite3_busy_timeout(db, 5000) == SQLITE_OK &&
                      sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return done;
}

// What the checks before the queue cost a game: reading it (as the upload
// does, and did before them), then its digest, its ticket's MAC and expiry,
// its pace windows and its clock.
void TimeChecks(const std::vector<SentGame>& games) {
    TicketKey key{};
    const TicketMint mint(key);
    constexpr int rounds = 20;
    double readSeconds = 0, checkSeconds = 0, minutes = 0;
    std::size_t passed = 0;
    for (const SentGame& game : games) {
        const GameTicket t = mint.Reissue(game.replay.summary.ticket.id);
        for (int r = 0; r < rounds; ++r) {
            const auto start = Clock::now();
            ReplayReading reading = ReadReplay(game.bytes);
            reading.replay.summary.ticket = t;
            const auto read = Clock::now();
            const std::string digest = GameDigest(reading.replay);
            const TicketRecord record{t.issuedAt * 1000, false};
            const bool verify =
                AdmitTicket(reading.replay, mint, t.issuedAt * 1000).kind == ReplayAdmission::Kind::verify &&
                AdmitTicketedGame(reading.replay, record,
                                  t.issuedAt * 1000 + static_cast<std::int64_t>(game.minutes * 60000))
                        .kind == ReplayAdmission::Kind::verify;
            passed += verify && !digest.empty();
            readSeconds += std::chrono::duration<double>(read - start).count();
            checkSeconds += std::chrono::duration<double>(Clock::now() - read).count();
        }
        minutes += game.minutes * rounds;
    }
    const double runs = static_cast<double>(games.size()) * rounds;
    std::printf(
        "checks before the queue       %zu/%.0f passed  %7.1f us per game  %6.2f ms per game-minute"
        "  (reading the file: %.1f us per game)\n",
        passed, runs, 1e6 * checkSeconds / runs, 1000.0 * checkSeconds / minutes, 1e6 * readSeconds / runs);
}

// The process's user and system CPU time, seconds.
double CpuSeconds(pid_t pid) {
    std::istringstream stat(ReadFile("/proc/" + std::to_string(pid) + "/stat"));
    std::string field;
    // Fields 14 and 15 (utime, stime), after a command name without blanks.
    unsigned long long utime = 0, stime = 0;
    for (int i = 1; i <= 15 && stat >> field; ++i) {
        if (i == 14) utime = std::stoull(field);
        if (i == 15) stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Answered per second.
struct Rates {
    double replays = 0;
    double gameMinutes = 0;
};

// Sends every game once from `clients` threads; prints the figures.
// expected: the answer each game should get.
Rates Phase(const char* title, int port, pid_t pid, const std::vector<SentGame>& games, int clients,
            const std::string& expected) {
    std::atomic<std::size_t> next{0};
    std::atomic<int> verified{0};
    const double cpuBefore = CpuSeconds(pid);
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        // Each client from an address of its own, as players are.
        threads.emplace_back([&, sourceHost = 10 + c] {
            for (std::size_t i; (i = next++) < games.size();) {
                const RawReply reply = PostFrom(
                    port, sourceHost, "/hosted/vlkn/scores/pr/replay.php?" + games[i].query, games[i].bytes);
                if (reply.body == expected) {
                    ++verified;
                } else {
                    std::fprintf(stderr, "game %zu: %d %s", i, reply.status, reply.body.c_str());
                }
            }
        });
    }
    for (std::thread& t : threads) t.join();
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = CpuSeconds(pid) - cpuBefore;
    double minutes = 0;
    for (const SentGame& g : games) minutes += g.minutes;
    std::printf(
        "%-28s %3d/%zu as expected  %7.2f replays/s  %7.1f game-min/s  %6.1f ms CPU per game-minute\n", title,
        verified.load(), games.size(), static_cast<double>(games.size()) / wall, minutes / wall,
        1000.0 * cpu / minutes);
    return {static_cast<double>(games.size()) / wall, minutes / wall};
}

// Seconds each game's replay takes from sourceHost, one at a time.
std::vector<double> Waits(int port, int sourceHost, const std::vector<SentGame>& games) {
    std::vector<double> waits;
    for (const SentGame& game : games) {
        const auto start = Clock::now();
        const RawReply reply =
            PostFrom(port, sourceHost, "/hosted/vlkn/scores/pr/replay.php?" + game.query, game.bytes);
        waits.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        if (reply.body != "VERIFIED\n")
            std::fprintf(stderr, "honest: %d %s", reply.status, reply.body.c_str());
    }
    return waits;
}

// A ticket from the server: nothing when it deals none.
std::optional<GameTicket> NewTicket(int port) {
    const std::optional<GameTicket> ticket =
        ParseTicket(RawGet(port, "/hosted/vlkn/scores/pr/ticket.php").body);
    if (!ticket) std::fprintf(stderr, "no ticket from the server\n");
    return ticket;
}

// count games that score, each on a ticket of its own and begun as long ago
// as it lasts: games the server plays again. Empty when the server refuses.
std::vector<SentGame> TicketedGames(int port, const std::string& database, int count, double minutes,
                                    int firstSeed) {
    std::vector<SentGame> games;
    for (int seed = firstSeed; static_cast<int>(games.size()) < count && seed < firstSeed + 20 * count;
         ++seed) {
        const std::optional<GameTicket> ticket = NewTicket(port);
        if (!ticket) return {};
        SentGame game = Record(seed, minutes, *ticket);
        if (game.bytes.empty()) continue;
        if (!Begin(port, database, game)) {
            std::fprintf(stderr, "start.php or the scratch file refused\n");
            return {};
        }
        games.push_back(std::move(game));
    }
    return games;
}

// An honest replay's wait while one address floods the verifier with heavy
// replays on a ticket: new games each time, since a game proves one row.
bool FloodPhase(int port, const std::string& database, const Settings& settings) {
    const int pauseMs = settings.floodPauseMs;
    const std::vector<SentGame> aloneGames =
        TicketedGames(port, database, settings.games, settings.minutes, 2000);
    const std::vector<SentGame> games = TicketedGames(port, database, settings.games, settings.minutes, 2000);
    const std::optional<GameTicket> heavyTicket = NewTicket(port);
    if (aloneGames.size() != games.size() || games.empty() || !heavyTicket) return false;
    SentGame heavyGame;
    heavyGame.replay = HeavyReplay(MaxReplayFrames / 8);
    heavyGame.replay.summary.startRandom = heavyTicket->random;
    heavyGame.replay.summary.ticket = *heavyTicket;
    heavyGame.minutes = static_cast<double>(heavyGame.replay.frames.size()) * 0.01 / 60;
    if (!Begin(port, database, heavyGame)) return false;
    const std::vector<double> alone = Waits(port, 3, aloneGames);
    const std::string heavy = WriteReplay(heavyGame.replay);
    const std::string heavyTarget = ReplayQuery(heavyGame.replay.summary);
    std::atomic<bool> flooding{true};
    std::mutex mutex;
    std::map<int, int> told;  // status: replies the flooding address got
    std::vector<std::thread> flood;
    for (int i = 0; i < 4; ++i) {
        flood.emplace_back([&] {
            while (flooding) {
                const int status = PostFrom(port, 2, heavyTarget, heavy).status;
                {
                    std::lock_guard lock(mutex);
                    ++told[status];
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::vector<double> flooded = Waits(port, 4, games);
    flooding = false;
    for (std::thread& t : flood) t.join();
    std::vector<double> extra;
    for (std::size_t i = 0; i < games.size(); ++i) extra.push_back(flooded[i] - alone[i]);
    std::sort(extra.begin(), extra.end());
    double aloneTotal = 0;
    for (const double w : alone) aloneTotal += w;
    std::printf(
        "%-28s honest replay alone %.3f s on average; waited longer under the flood by %.3f s "
        "(median), %.3f s (most)\n",
        "one address flooding", aloneTotal / static_cast<double>(alone.size()), extra[extra.size() / 2],
        extra.back());
    std::printf("%-28s the flooding address was answered:", "");
    for (const auto& [status, count] : told) std::printf(" %d x %d", count, status);
    std::printf("\n");
    return true;
}

// The real server on a scratch database in dir, with the options every
// phase uses and more; null, with the reason printed, when it did not start.
std::unique_ptr<ServerProcess> StartServer(const ScratchDir& dir, const Settings& settings,
                                           const std::vector<std::string>& more = {}) {
    const std::string portFile = dir.File("port");
    std::vector<std::string> options = {
        "--listen",       "127.0.0.1:0", "--db",         dir.File("scores.db"),
        "--port-file",    portFile,      "--rate-limit", settings.rateLimit,
        "--verify-queue", "1024"};
    options.insert(options.end(), more.begin(), more.end());
    auto server = std::make_unique<ServerProcess>(settings.server, options, dir.File("stderr.log"));
    if (server->WaitForPort(portFile)) return server;
    std::fprintf(stderr, "the server did not start: %s\n", ReadFile(dir.File("stderr.log")).c_str());
    return nullptr;
}

// Replays verified per second with one verifier thread and with two: new
// games each time, sent from more clients at once than there are threads.
bool ScalingPhase(const Settings& settings) {
    Rates rates[2];
    for (int threads = 1; threads <= 2; ++threads) {
        const ScratchDir dir;
        const std::unique_ptr<ServerProcess> server =
            StartServer(dir, settings, {"--verify-threads", std::to_string(threads)});
        if (!server) return false;
        const std::vector<SentGame> games =
            TicketedGames(server->port, dir.File("scores.db"), settings.games, settings.minutes, 3000);
        if (games.empty()) return false;
        const std::string title = std::to_string(threads) + " verifier thread" + (threads > 1 ? "s" : "");
        rates[threads - 1] = Phase(title.c_str(), server->port, server->pid, games,
                                   std::max(settings.clients, 2 * threads), "VERIFIED\n");
    }
    // The games differ (each is on a ticket of its server's), so their
    // minutes played per second are the fairer measure.
    std::printf("%-28s %.2fx the replays per second of one, %.2fx the game-minutes per second\n",
                "2 verifier threads", rates[1].replays / rates[0].replays,
                rates[1].gameMinutes / rates[0].gameMinutes);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--games") settings.games = std::max(1, std::atoi(argv[i + 1]));
        if (option == "--minutes") settings.minutes = std::max(0.1, std::atof(argv[i + 1]));
        if (option == "--clients") settings.clients = std::max(1, std::atoi(argv[i + 1]));
        if (option == "--server") settings.server = argv[i + 1];
        if (option == "--rate-limit") settings.rateLimit = argv[i + 1];
        if (option == "--flood-pause-ms") settings.floodPauseMs = std::max(0, std::atoi(argv[i + 1]));
    }
    const ScratchDir dir;
    const std::string database = dir.File("scores.db");
    const std::unique_ptr<ServerProcess> started = StartServer(dir, settings);
    if (!started) return 1;
    const ServerProcess& server = *started;
    const std::vector<SentGame> games =
        TicketedGames(server.port, database, settings.games, settings.minutes, 1000);
    if (games.empty()) return 1;
    double minutes = 0;
    for (const SentGame& game : games) minutes += game.minutes;
    std::printf("%zu games, %.1f game-minutes\n", games.size(), minutes);
    TimeChecks(games);
    Phase("one at a time, new games", server.port, server.pid, games, 1, "VERIFIED\n");
    // Sent again, each is refused by its used ticket before it is queued.
    Phase("several clients, resent", server.port, server.pid, games, settings.clients,
          "replay refused: its ticket already proved a row\n");
    if (!FloodPhase(server.port, database, settings)) return 1;
    return ScalingPhase(settings) ? 0 : 1;
}
