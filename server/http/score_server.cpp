#include "server/http/score_server.h"

#include <microhttpd.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>
#include <utility>

#include "server/http/commit_queue.h"
#include "server/http/connection_answers.h"
#include "server/http/connection_sweeper.h"
#include "server/http/connection_table.h"
#include "server/http/http_daemon.h"
#include "server/http/listen_socket.h"
#include "server/http/log_throttle.h"
#include "server/http/rate_limiter.h"
#include "server/http/replay_checker.h"
#include "server/http/replay_route.h"
#include "server/http/request_log.h"
#include "server/http/score_service.h"
#include "server/http/served_connection.h"
#include "server/http/server_metrics.h"
#include "server/http/store_routes.h"
#include "server/http/table_reply.h"
#include "server/http/worker_pool.h"
#include "server/store/client_address.h"
#include "server/store/table_cache.h"
#include "server/store/ticket_mint.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The library reports each connection that breaks off mid-request; under an
// attack that is thousands of lines. It may say this many things a second,
// and the rest are counted.
constexpr int libraryLinesPerSecond = 5;
// The page threads yield the processor to the threads serving connections:
// the game's view.php and add.php go first when both are busy.
constexpr int pageThreadNiceness = 10;
// Replay bodies held at once, as a count of the largest allowed: those waiting
// for the verifier and those it plays, and this many more on their way in.
// A crowd of slow uploads gets 503 before it can fill the memory.
constexpr std::size_t replaysArriving = 16;

Connection* ConnectionOf(MHD_Connection* handle) {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(handle, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    return info ? static_cast<Connection*>(info->socket_context) : nullptr;
}

// The value of the last X-Forwarded-For header, or "".
std::string_view LastForwardedFor(MHD_Connection* handle) {
    std::string_view last;
    MHD_get_connection_values(
        handle, MHD_HEADER_KIND,
        [](void* cls, MHD_ValueKind, const char* key, const char* value) {
            if (value && strcasecmp(key, "X-Forwarded-For") == 0)
                *static_cast<std::string_view*>(cls) = value;
            return MHD_YES;
        },
        &last);
    return last;
}

}  // namespace

class ScoreServer::Engine {
public:
    Engine(ScoreStore& store, const ScoreServerConfig& config)
        : store(store),
          config(config),
          limiter(config.rateLimit),
          screen(config.nameBlocklist),
          ticketLimiter(config.rateLimit),
          service{limiter, config.maxRequestBytes, &screen, &ticketLimiter, nullptr},
          cache([this](const TableCache::Text& text) { tableReply.Publish(text); }),
          limits{
              static_cast<std::size_t>(std::max(config.maxConnections, 1)),
              config.trustProxy ? 0 : static_cast<std::size_t>(std::max(config.maxConnectionsPerClient, 0)),
              config.ioTimeout, config.idleTimeout, config.minBodyBytesPerSecond},
          connections(limits),
          libraryLog(libraryLinesPerSecond),
          sweeper(connections, limits, metrics, libraryLog, [this](std::string_view line) { Log(line); }) {}

    ~Engine() { Stop(); }

    int Start(const std::string& host, int port, std::string& error) {
        if (!cache.Refresh(store, error)) {
            error = "cannot read the table: " + error;
            return -1;
        }
        if (!screen.Refresh(store, error)) {
            error = "cannot read the bans or the name blocklist: " + error;
            return -1;
        }
        listenFd = OpenListenSocket(host, port, error);
        if (listenFd < 0) return -1;
        LoadPlayFiles();
        screen.Start(store, config.screenPeriod, [this](std::string_view line) { Log(line); });
        std::string stampError;
        if (!cache.RefreshStamp(store, stampError)) Log("cannot read the change stamp: " + stampError);
        // Both stores make their key when they open, or refuse to open: only
        // a store that keeps no tickets at all has none, and deals none.
        TicketKey key{};
        std::string keyError;
        if (store.ReadTicketKey(key, keyError)) {
            mint = std::make_unique<TicketMint>(key);
            service.mint = mint.get();
        }
        queue = std::make_unique<CommitQueue>(
            store, cache, [this](std::string_view line) { Log(line); }, std::chrono::seconds(1), metrics);
        pages = std::make_unique<WorkerPool>(config.pageThreads, config.maxQueuedPages, pageThreadNiceness);
        ReplayCheckerLimits verifier;
        verifier.threads = config.verifyThreads;
        verifier.capacity = config.verifyQueue;
        verifier.maxFrames = config.maxReplayFrames;
        verifier.cpuPerReplay = config.verifyCpu;
        verifier.cpuPerClientMinute = config.verifyCpuPerClientMinute;
        checker = std::make_unique<ReplayChecker>(verifier);
        const RouteParts parts{store,
                               *queue,
                               *pages,
                               answers,
                               connections,
                               metrics,
                               [this](std::string_view line) { Log(line); }};
        storeRoutes = std::make_unique<StoreRoutes>(parts, cache, tableReply);
        replays = std::make_unique<ReplayRoute>(
            parts, *checker, mint.get(),
            ReplayRouteLimits{
                config.maxReplayBytes, config.maxReplayFrames,
                config.maxReplayBytes *
                    (config.verifyQueue + static_cast<std::size_t>(std::max(config.verifyThreads, 1)) +
                     replaysArriving)});
        daemon =
            StartHttpDaemon(config, listenFd, limits.total,
                            {this, &OnConnection, &OnRequestLine, &OnRequest, &OnCompleted, &OnLibraryLog});
        if (!daemon) {
            error = DaemonStartFailure(config.tls);
            Stop();
            return -1;
        }
        sweeper.Start();
        return BoundPort(listenFd);
    }

    void Stop() {
        if (daemon) {
            stopping = true;
            // The library hands the listening socket back, to be closed once
            // it has stopped; if it cannot, it keeps it and closes it itself.
            if (MHD_quiesce_daemon(daemon) == MHD_INVALID_SOCKET) listenFd = -1;
            // Finish what is under way: replies still to send, and rows still
            // to store, whose clients wait for their answer.
            WaitUntilQuiet(config.ioTimeout + 1s);
        }
        // No row or page read is taken after this, and every one taken is
        // done and its connection resumed: none is left suspended, which the
        // library requires before it stops.
        // The checker first: it hands what it verified to the commit queue.
        if (checker) checker->Close();
        if (queue) queue->Close();
        screen.Stop();
        if (pages) pages->Close();
        if (daemon) {
            WaitUntilQuiet(config.ioTimeout);
            MHD_stop_daemon(daemon);
            daemon = nullptr;
        }
        if (listenFd >= 0) close(listenFd);
        listenFd = -1;
        sweeper.Stop();
    }

    std::uint64_t StoredRows() const { return queue ? queue->StoredRows() : 0; }
    std::uint64_t Commits() const { return queue ? queue->Commits() : 0; }

private:
    // The scores are served without the game rather than not at all.
    void LoadPlayFiles() {
        if (config.playFiles.empty()) return;
        std::string problem;
        service.playLinks = play.Load(config.playFiles, problem);
        Log(service.playLinks ? "serving the browser game at /play/ from " + config.playFiles
                              : "not serving the browser game at /play/: " + problem);
    }

    void WaitUntilQuiet(Clock::duration limit) const {
        const auto until = Clock::now() + limit;
        while (connections.BusyCount() > 0 && Clock::now() < until) std::this_thread::sleep_for(5ms);
    }

    // --- the library's callbacks, each on the thread serving that connection

    static void OnConnection(void* cls, MHD_Connection* handle, void** socketContext,
                             MHD_ConnectionNotificationCode code) {
        auto& self = *static_cast<Engine*>(cls);
        if (code == MHD_CONNECTION_NOTIFY_STARTED) {
            auto* connection = new Connection;
            connection->handle = handle;
            if (const MHD_ConnectionInfo* fd =
                    MHD_get_connection_info(handle, MHD_CONNECTION_INFO_CONNECTION_FD))
                connection->entry.fd = fd->connect_fd;
            if (const MHD_ConnectionInfo* peer =
                    MHD_get_connection_info(handle, MHD_CONNECTION_INFO_CLIENT_ADDRESS))
                connection->entry.address = FormatPeerAddress(peer->client_addr);
            *socketContext = connection;
            const bool admitted = self.connections.Open(connection->entry, Clock::now());
            if (self.metrics) {
                self.metrics->ConnectionOpened();
                if (!admitted) self.metrics->ConnectionsRefused(1);
            }
            return;
        }
        auto* connection = static_cast<Connection*>(*socketContext);
        if (!connection) return;
        if (self.metrics) self.metrics->ConnectionClosed();
        self.replays->ReleaseBody(*connection);
        self.connections.Close(connection->entry);
        delete connection;
        *socketContext = nullptr;
    }

    // The request line is in: a request has begun. The raw target (the
    // library hands the handler a decoded path) is kept for routing.
    static void* OnRequestLine(void* cls, const char* uri, MHD_Connection* handle) {
        auto& self = *static_cast<Engine*>(cls);
        Connection* connection = ConnectionOf(handle);
        if (!connection) return nullptr;
        connection->target.assign(uri, strnlen(uri, self.config.maxRequestBytes + 1));
        connection->method.clear();
        connection->client = connection->entry.address;
        connection->began = Clock::now();
        connection->status = 0;
        connection->stage = Stage::arrived;
        connection->ifNoneMatch.clear();
        self.connections.RequestBegan(connection->entry, connection->began);
        return connection;
    }

    static MHD_Result OnRequest(void* cls, MHD_Connection* handle, const char*, const char* method,
                                const char* version, const char* uploadData, size_t* uploadSize,
                                void** requestContext) {
        auto& self = *static_cast<Engine*>(cls);
        auto* connection = static_cast<Connection*>(*requestContext);
        if (!connection) return MHD_NO;
        switch (connection->stage) {
            case Stage::waitingForStore:  // resumed: the commit is over
                connection->stage = Stage::decided;
                return self.answers.Text(*connection, StoredReply(connection->stored.load()));
            case Stage::waitingForReplay:  // resumed: verified and stored, or refused
                connection->stage = Stage::decided;
                return self.answers.Text(*connection, connection->replayReply);
            case Stage::waitingForPage: {  // resumed: the page is read
                connection->stage = Stage::decided;
                // Taken out, so a kept-alive connection does not hold the page.
                const WebReply reply = std::move(connection->webReply);
                return self.answers.Web(*connection, reply);
            }
            case Stage::arrived: {
                // The first call: the headers are in.
                const bool hasBody = self.Decide(*connection, handle, method, version);
                if (connection->decision.kind == ScoreDecision::Kind::replay)
                    return self.replays->Begin(*connection, handle);
                // A reply queued now makes the library drop the rest of the
                // request and close the connection afterwards: right for a body
                // we never read, or a client we stop trusting. Any other request
                // is answered on the next call, once the library has all of it,
                // so that the connection stays open for the next one.
                const ScoreDecision& decision = connection->decision;
                const bool answerNow = hasBody ||
                                       (connection->method != "GET" && connection->method != "HEAD") ||
                                       (decision.kind == ScoreDecision::Kind::reply && decision.reply.close);
                if (!answerNow) return MHD_YES;
                break;
            }
            case Stage::droppingBody:
                if (*uploadSize == 0) return self.answers.Text(*connection, connection->decision.reply);
                *uploadSize = 0;
                return MHD_YES;
            case Stage::decided:
                break;
        }
        if (connection->decision.kind == ScoreDecision::Kind::replay) {
            if (*uploadSize == 0) return self.replays->Check(*connection);
            self.replays->Append(*connection, uploadData, *uploadSize);
            *uploadSize = 0;
            return MHD_YES;
        }
        *uploadSize = 0;
        switch (connection->decision.kind) {
            case ScoreDecision::Kind::table:
                return self.storeRoutes->AnswerTable(*connection);
            case ScoreDecision::Kind::store:
                return self.storeRoutes->Store(*connection, std::move(connection->decision.row));
            case ScoreDecision::Kind::web:
                return self.storeRoutes->ServeWeb(*connection);
            case ScoreDecision::Kind::download:
                return self.storeRoutes->ServeReplay(*connection);
            case ScoreDecision::Kind::start:
                return self.storeRoutes->RecordStart(*connection);
            case ScoreDecision::Kind::play:
                return self.answers.Play(
                    *connection, self.play.Answer(connection->decision.playRest, connection->gzipAccepted,
                                                  connection->ifNoneMatch));
            case ScoreDecision::Kind::replay:
            case ScoreDecision::Kind::reply:
                break;
        }
        return self.answers.Text(*connection, connection->decision.reply);
    }

    // Decides the answer from the request's line and headers. True when the
    // request has a body.
    bool Decide(Connection& connection, MHD_Connection* handle, const char* method, const char* version) {
        const MHD_ConnectionInfo* size =
            MHD_get_connection_info(handle, MHD_CONNECTION_INFO_REQUEST_HEADER_SIZE);
        const RequestFacts facts{
            method, version, connection.target,
            MHD_lookup_connection_value(handle, MHD_HEADER_KIND, MHD_HTTP_HEADER_HOST) != nullptr,
            size ? size->header_size : 0};
        connection.method = method;
        if (config.trustProxy)
            connection.client = ChooseClientAddress(connection.entry.address, LastForwardedFor(handle), true);
        connection.decision = service.Handle(facts, connection.client, RateLimiter::Clock::now(),
                                             static_cast<std::int64_t>(std::time(nullptr)));
        connection.stage = Stage::decided;
        const ScoreDecision::Kind kind = connection.decision.kind;
        if (kind == ScoreDecision::Kind::web || kind == ScoreDecision::Kind::play) {
            const char* tags =
                MHD_lookup_connection_value(handle, MHD_HEADER_KIND, MHD_HTTP_HEADER_IF_NONE_MATCH);
            connection.ifNoneMatch = tags ? tags : "";
        }
        const char* codings =
            MHD_lookup_connection_value(handle, MHD_HEADER_KIND, MHD_HTTP_HEADER_ACCEPT_ENCODING);
        connection.gzipAccepted = kind == ScoreDecision::Kind::play && codings && AcceptsGzip(codings);
        const char* length =
            MHD_lookup_connection_value(handle, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
        return (length && std::strcmp(length, "0") != 0) ||
               MHD_lookup_connection_value(handle, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING);
    }

    static void OnCompleted(void* cls, MHD_Connection* handle, void** requestContext,
                            MHD_RequestTerminationCode ending) {
        auto& self = *static_cast<Engine*>(cls);
        auto* connection = static_cast<Connection*>(*requestContext);
        if (!connection) return;
        int status = connection->status;
        if (status == 0) {  // refused by the library itself (say, a header too big for its memory)
            const MHD_ConnectionInfo* queued =
                MHD_get_connection_info(handle, MHD_CONNECTION_INFO_HTTP_STATUS);
            if (queued) status = static_cast<int>(queued->http_status);
        }
        const Clock::time_point now = Clock::now();
        if (status != 0) {
            self.Log(FormatRequestLogLine(std::chrono::system_clock::now(), connection->client,
                                          connection->method, connection->target, status,
                                          now - connection->began));
        }
        if (self.metrics) self.Count(*connection, status, ending, now);
        connection->status = 0;
        self.replays->ReleaseBody(*connection);
        self.connections.RequestDone(connection->entry, now);
    }

    void Count(const Connection& connection, int status, MHD_RequestTerminationCode ending,
               Clock::time_point now) {
        if (status != 0)
            metrics->RequestDone(ServerMetrics::RouteOf(connection.target), status, now - connection.began);
        if (const auto reason = ServerMetrics::CloseReasonOf(ending)) metrics->ConnectionsClosed(*reason);
    }

    static void OnLibraryLog(void* cls, const char* format, va_list args) {
        auto& self = *static_cast<Engine*>(cls);
        if (!self.libraryLog.Admit(Clock::now())) return;
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        std::string_view line(text);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
        self.Log("libmicrohttpd: " + std::string(line));
    }

    void Log(std::string_view line) const {
        if (config.log) {
            config.log(line);
        } else {
            WriteLogLine(line);
        }
    }

    ScoreStore& store;
    const ScoreServerConfig& config;
    ServerMetrics* const metrics = config.metrics;
    RateLimiter limiter;
    SubmissionScreen screen;
    RateLimiter ticketLimiter;         // ticket.php and start.php
    std::unique_ptr<TicketMint> mint;  // null when the store keeps no key
    PlayFiles play;                    // before the daemon, whose replies point into it
    ScoreService service;
    TableReply tableReply;  // before cache, whose listener publishes into it
    TableCache cache;
    const ConnectionTable::Limits limits;
    ConnectionTable connections;
    std::unique_ptr<CommitQueue> queue;
    std::unique_ptr<WorkerPool> pages;  // reads the web page's rows
    std::unique_ptr<ReplayChecker> checker;
    int listenFd = -1;
    MHD_Daemon* daemon = nullptr;
    std::atomic<bool> stopping{false};
    ConnectionAnswers answers{connections, stopping};
    std::unique_ptr<StoreRoutes> storeRoutes;  // after all they borrow
    std::unique_ptr<ReplayRoute> replays;

    LogThrottle libraryLog;
    ConnectionSweeper sweeper;  // after all it borrows
};

ScoreServer::ScoreServer(ScoreStore& store, ScoreServerConfig config)
    : store(store), config(std::move(config)) {}

ScoreServer::~ScoreServer() { Stop(); }

int ScoreServer::Start(const std::string& host, int port, std::string* error) {
    Stop();
    auto fresh = std::make_unique<Engine>(store, config);
    std::string message;
    const int bound = fresh->Start(host, port, message);
    if (bound < 0) {
        if (error) *error = message;
        return -1;
    }
    engine = std::move(fresh);
    return bound;
}

void ScoreServer::Stop() {
    if (!engine) return;
    engine->Stop();
    storedBefore += engine->StoredRows();
    commitsBefore += engine->Commits();
    engine.reset();
}

int ScoreServer::ConnectionsThatFit(int wanted, int threads, std::uint64_t openFileLimit) {
    return DaemonConnectionsThatFit(wanted, threads, openFileLimit);
}

std::uint64_t ScoreServer::StoredRows() const { return storedBefore + (engine ? engine->StoredRows() : 0); }
std::uint64_t ScoreServer::Commits() const { return commitsBefore + (engine ? engine->Commits() : 0); }
