#include "server/http/score_server.h"

#include <microhttpd.h>
#include <strings.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>
#include <utility>

#include "server/http/commit_queue.h"
#include "server/http/connection_sweeper.h"
#include "server/http/connection_table.h"
#include "server/http/http_daemon.h"
#include "server/http/http_replies.h"
#include "server/http/listen_socket.h"
#include "server/http/log_throttle.h"
#include "server/http/rate_limiter.h"
#include "server/http/replay_body_budget.h"
#include "server/http/replay_checker.h"
#include "server/http/request_log.h"
#include "server/http/score_service.h"
#include "server/http/server_metrics.h"
#include "server/http/table_reply.h"
#include "server/http/worker_pool.h"
#include "server/store/client_address.h"
#include "server/store/replay_admission.h"
#include "server/store/table_cache.h"
#include "server/web/web_reply.h"

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

// Where a request stands between the library's calls.
enum class Stage {
    arrived,  // the request line is in; the answer is not decided yet
    decided,  // decision holds the answer: reading the body, or answering now
    // A replay the verifier would not take: its body is read and dropped,
    // unparsed, and decision.reply answered after it (answered before it,
    // the client would see its connection reset and not the reason).
    droppingBody,
    // Suspended until another thread resumes it with the answer:
    waitingForStore,   // the commit of decision.row; `stored` says how it went
    waitingForPage,    // a page thread reading the store; `webReply` holds the answer
    waitingForReplay,  // the verifier and the store, or a ticket's start; `replayReply`
};

// One connection and the request it is serving. The library runs each
// connection on one of its threads only, so the request fields need no lock;
// `stored` is written by the committing thread before it resumes the
// connection, and `webReply` by a page thread before it resumes it (resuming
// goes through the library's lock, which orders the two).
struct Connection {
    ConnectionTable::Entry entry;
    MHD_Connection* handle = nullptr;

    std::string target;  // raw request target, as received
    std::string method;  // empty until the request reached us
    std::string client;  // the address the request counts under
    Clock::time_point began;
    int status = 0;  // of the reply we queued; 0: none yet
    Stage stage = Stage::arrived;
    ScoreDecision decision;
    std::atomic<bool> stored{false};
    std::string ifNoneMatch;  // for the web page: the header's value, "" when absent
    WebReply webReply;
    std::string body;            // a replay's bytes as they arrive
    std::size_t bodyLength = 0;  // its Content-Length, counted against the replay budget
    ScoreReply replayReply;      // written by whichever thread resumes the connection
};

Connection* ConnectionOf(MHD_Connection* handle) {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(handle, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    return info ? static_cast<Connection*>(info->socket_context) : nullptr;
}

// The answer to a replay the verifier would not take.
ScoreReply RefusedReplayReply(ReplayChecker::Admission admission, bool stopping) {
    using Admission = ReplayChecker::Admission;
    if (stopping || admission == Admission::closed) return {503, "server is shutting down\n", true};
    if (admission == Admission::clientFull)
        return {429, "too many of your replays are waiting, try again later\n", false};
    if (admission == Admission::overBudget)
        return {429, "your replays have used up their verifying time, try again later\n", false};
    return {503, "replay verifier busy, try again later\n", false};
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
          replayBodies(config.maxReplayBytes *
                       (config.verifyQueue + static_cast<std::size_t>(std::max(config.verifyThreads, 1)) +
                        replaysArriving)),
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
        self.ReleaseBody(*connection);
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
                return self.Answer(*connection, StoredReply(connection->stored.load()));
            case Stage::waitingForReplay:  // resumed: verified and stored, or refused
                connection->stage = Stage::decided;
                return self.Answer(*connection, connection->replayReply);
            case Stage::waitingForPage: {  // resumed: the page is read
                connection->stage = Stage::decided;
                // Taken out, so a kept-alive connection does not hold the page.
                const WebReply reply = std::move(connection->webReply);
                return self.SendWeb(*connection, reply);
            }
            case Stage::arrived: {
                // The first call: the headers are in.
                const bool hasBody = self.Decide(*connection, handle, method, version);
                if (connection->decision.kind == ScoreDecision::Kind::replay)
                    return self.BeginReplay(*connection, handle);
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
                if (*uploadSize == 0) return self.Answer(*connection, connection->decision.reply);
                *uploadSize = 0;
                return MHD_YES;
            case Stage::decided:
                break;
        }
        if (connection->decision.kind == ScoreDecision::Kind::replay) {
            if (*uploadSize == 0) return self.CheckReplay(*connection);
            // The library frames the body by its Content-Length, which
            // BeginReplay held to the bound: this never grows past it.
            const std::size_t room = connection->bodyLength - connection->body.size();
            connection->body.append(uploadData, std::min(*uploadSize, room));
            *uploadSize = 0;
            return MHD_YES;
        }
        *uploadSize = 0;
        switch (connection->decision.kind) {
            case ScoreDecision::Kind::table:
                return self.AnswerTable(*connection);
            case ScoreDecision::Kind::store:
                return self.Store(*connection, std::move(connection->decision.row));
            case ScoreDecision::Kind::web:
                return self.ServeWeb(*connection);
            case ScoreDecision::Kind::download:
                return self.ServeReplay(*connection);
            case ScoreDecision::Kind::start:
                return self.RecordStart(*connection);
            case ScoreDecision::Kind::replay:
            case ScoreDecision::Kind::reply:
                break;
        }
        return self.Answer(*connection, connection->decision.reply);
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
        if (connection.decision.kind == ScoreDecision::Kind::web) {
            const char* tags =
                MHD_lookup_connection_value(handle, MHD_HEADER_KIND, MHD_HTTP_HEADER_IF_NONE_MATCH);
            connection.ifNoneMatch = tags ? tags : "";
        }
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
        self.ReleaseBody(*connection);
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

    // --- answers

    MHD_Result Answer(Connection& connection, const ScoreReply& reply) {
        connection.status = reply.status;
        connections.Replying(connection.entry, Clock::now());
        return QueueTextReply(connection.handle, reply, reply.close || stopping);
    }

    MHD_Result AnswerTable(Connection& connection) {
        if (stopping) {
            // The shared reply cannot carry "Connection: close"; a copy can.
            const TableCache::Text text = cache.Current();
            if (text) return Answer(connection, {MHD_HTTP_OK, *text, true});
        } else {
            connections.Replying(connection.entry, Clock::now());
            connection.status = MHD_HTTP_OK;
            if (tableReply.Queue(connection.handle)) return MHD_YES;
        }
        return Answer(connection, {MHD_HTTP_INTERNAL_SERVER_ERROR, "storage error\n", false});
    }

    // Parks the connection until its row is durable: the thread goes on
    // serving others, and the commit resumes the connection for its answer.
    MHD_Result Store(Connection& connection, ScoreRow row) {
        connections.Storing(connection.entry);
        connection.stage = Stage::waitingForStore;
        MHD_Connection* handle = connection.handle;
        const bool queued = queue->Submit(
            std::move(row),
            [&connection](bool stored) {
                connection.stored = stored;
                MHD_resume_connection(connection.handle);
            },
            [handle] { MHD_suspend_connection(handle); });
        if (queued) return MHD_YES;
        connection.stage = Stage::decided;
        return Answer(connection, {MHD_HTTP_SERVICE_UNAVAILABLE, "server is shutting down\n", true});
    }

    // The stylesheet, a refused query and a copy that is still current are
    // answered at once without the store. Anything else waits for a page
    // thread to read the rows, parked like a submission, while this thread
    // goes on serving others: view.php never waits behind a page read.
    MHD_Result ServeWeb(Connection& connection) {
        const WebRequest& request = connection.decision.web;
        // Read before the rows, so the tag sent never claims rows newer than the page.
        const std::string stamp = cache.Stamp();
        if (const std::optional<WebReply> reply = AnswerWithoutStore(request, stamp, connection.ifNoneMatch))
            return SendWeb(connection, *reply);
        connection.stage = Stage::waitingForPage;
        MHD_Connection* handle = connection.handle;
        const bool queued = pages->Post(
            [this, &connection, stamp] {
                std::string error;
                connection.webReply = AnswerFromStore(connection.decision.web, stamp, store, error);
                if (!error.empty()) {
                    Log("cannot read the scores: " + error);
                    if (metrics) metrics->DatabaseError();
                }
                MHD_resume_connection(connection.handle);
            },
            [handle] { MHD_suspend_connection(handle); });
        if (queued) return MHD_YES;
        connection.stage = Stage::decided;
        return SendWeb(connection, UnavailableReply(request.content,
                                                    stopping ? "The server is shutting down."
                                                             : "The server is busy. Try again shortly."));
    }

    MHD_Result SendWeb(Connection& connection, const WebReply& reply) {
        connection.status = reply.status;
        connections.Replying(connection.entry, Clock::now());
        return QueueWebReply(connection.handle, reply, stopping);
    }

    // --- replays

    // The headers of a replay are in: its length decides whether the body
    // is read at all. An answer queued now closes the connection unread.
    MHD_Result BeginReplay(Connection& connection, MHD_Connection* handle) {
        const char* length =
            MHD_lookup_connection_value(handle, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
        if (!length) return Answer(connection, {411, "send the replay with a Content-Length\n", true});
        const std::string_view digits(length);
        std::size_t bytes = 0;
        const auto [end, problem] = std::from_chars(digits.data(), digits.data() + digits.size(), bytes);
        if (problem == std::errc::result_out_of_range ||
            (problem == std::errc() && bytes > config.maxReplayBytes))
            return Answer(
                connection,
                {413, "replay too large: at most " + std::to_string(config.maxReplayBytes) + " bytes\n",
                 true});
        if (problem != std::errc() || end != digits.data() + digits.size() || bytes == 0)
            return Answer(connection, {400, "no replay in the body\n", true});
        // A client the verifier would turn away is told so without its body
        // being kept or parsed: a flood of replays costs the server reads only.
        if (const ReplayChecker::Admission admission = checker->WouldTake(connection.client);
            admission != ReplayChecker::Admission::queued) {
            connection.decision.reply = RefusedReplayReply(admission, stopping);
            connection.stage = Stage::droppingBody;
            connections.ExpectBody(connection.entry, bytes);
            return MHD_YES;
        }
        if (!replayBodies.Take(bytes))
            return Answer(connection, {503, "too many replays arriving, try again later\n", true});
        connection.bodyLength = bytes;
        connection.body.reserve(bytes);
        connections.ExpectBody(connection.entry, bytes);
        return MHD_YES;
    }

    void ReleaseBody(Connection& connection) {
        replayBodies.Release(std::exchange(connection.bodyLength, 0));
        std::string().swap(connection.body);
    }

    // The whole body is in: read it and hold its ticket to the key. A game
    // that may be proven has its ticket's record read on a page thread,
    // then waits for the verifier; one that may not goes to the store
    // unplayed. Either way the connection is parked until it is stored.
    MHD_Result CheckReplay(Connection& connection) {
        ReplayUploadResult read = ReadReplayUpload(std::exchange(connection.body, {}),
                                                   connection.decision.row, config.maxReplayFrames);
        if (!read.upload) return Answer(connection, {400, read.error + "\n", false});
        const std::int64_t arrivedMs = UnixMs();
        const ReplayAdmission admission =
            mint ? AdmitTicket(read.upload->replay, *mint, arrivedMs)
                 : ReplayAdmission{ReplayAdmission::Kind::attach, 200, "this server deals no tickets"};
        if (admission.kind == ReplayAdmission::Kind::refuse)
            return Answer(connection, {admission.status, admission.reason + "\n", false});
        connections.Storing(connection.entry);
        connection.stage = Stage::waitingForReplay;
        MHD_Connection* handle = connection.handle;
        const auto suspend = [handle] { MHD_suspend_connection(handle); };
        bool queued;
        if (admission.kind == ReplayAdmission::Kind::attach) {
            queued = StoreUnplayed(connection, std::move(*read.upload), admission.reason, suspend);
        } else {
            auto upload = std::make_shared<ReplayUpload>(std::move(*read.upload));
            queued = pages->Post([this, &connection, upload,
                                  arrivedMs] { AdmitTicketed(connection, std::move(*upload), arrivedMs); },
                                 suspend);
        }
        if (queued) return MHD_YES;
        connection.stage = Stage::decided;
        return Answer(connection, stopping ? ScoreReply{503, "server is shutting down\n", true}
                                           : ScoreReply{503, "server busy, try again later\n", false});
    }

    // On a page thread, the connection suspended: what the store knows of
    // the ticket decides whether the game is played again.
    void AdmitTicketed(Connection& connection, ReplayUpload upload, std::int64_t arrivedMs) {
        const std::uint64_t ticketId = upload.replay.summary.ticket.id;
        TicketRecord record;
        std::string error;
        if (!store.ReadTicket(ticketId, record, error)) {
            Log("cannot read ticket " + std::to_string(ticketId) + ": " + error);
            return Resume(connection, StoredReply(false));
        }
        upload.submission.ticketId = ticketId;
        const ReplayAdmission admission = AdmitTicketedGame(upload.replay, record, arrivedMs);
        if (admission.kind == ReplayAdmission::Kind::refuse)
            return Resume(connection, {admission.status, admission.reason + "\n", false});
        if (admission.kind == ReplayAdmission::Kind::attach) {
            if (!StoreUnplayed(connection, std::move(upload), admission.reason, {}))
                Resume(connection, stopping ? ScoreReply{503, "server is shutting down\n", true}
                                            : ScoreReply{503, "server busy, try again later\n", false});
            return;
        }
        const ReplayChecker::Admission queued = checker->Submit(
            connection.client, std::move(upload),
            [this, &connection](ReplayUpload checked, const ReplayCheck& check,
                                std::chrono::nanoseconds cpu) {
                Checked(connection, std::move(checked), check, cpu);
            },
            [this] {
                if (metrics) metrics->ReplayQueued();  // before the verifier can take it off
            });
        if (queued != ReplayChecker::Admission::queued)
            Resume(connection, RefusedReplayReply(queued, stopping));
    }

    bool StoreUnplayed(Connection& connection, ReplayUpload upload, const std::string& reason,
                       const std::function<void()>& accepted) {
        Log("replay kept unverified (" + connection.decision.row.submission.name + ", " + connection.client +
            "): " + reason);
        upload.submission.verified = false;
        return StoreChecked(connection, std::move(upload.submission), accepted);
    }

    bool StoreChecked(Connection& connection, ReplaySubmission submission,
                      const std::function<void()>& accepted) {
        return queue->SubmitReplay(
            std::move(submission),
            [this, &connection](bool stored, const StoredReplay& replay) {
                Resume(connection, StoredReplayReply(stored, replay));
            },
            accepted);
    }

    void Resume(Connection& connection, ScoreReply reply) {
        connection.replayReply = std::move(reply);
        MHD_resume_connection(connection.handle);
    }

    // On a verifier thread, the connection suspended.
    void Checked(Connection& connection, ReplayUpload upload, const ReplayCheck& check,
                 std::chrono::nanoseconds cpu) {
        if (metrics) metrics->ReplayChecked(check.verdict, cpu);
        if (check.verdict != ReplayVerdict::Proven && check.verdict != ReplayVerdict::Unproven) {
            Log("replay refused (" + connection.decision.row.submission.name + ", " + connection.client +
                "): " + check.reason);
            return Resume(connection, UnstoredReplayReply(check, stopping));
        }
        upload.submission.verified = check.proven();
        if (!StoreChecked(connection, std::move(upload.submission), {}))
            Resume(connection, {503, "server is shutting down\n", true});
    }

    // The moment a ticketed game began, as the server's clock says, kept
    // durably through a page thread.
    MHD_Result RecordStart(Connection& connection) {
        connections.Storing(connection.entry);
        connection.stage = Stage::waitingForReplay;
        MHD_Connection* handle = connection.handle;
        const std::uint64_t id = connection.decision.ticketId;
        const std::int64_t heardMs = UnixMs();
        const bool queued = pages->Post(
            [this, &connection, id, heardMs] {
                std::string error;
                const bool recorded = store.RecordTicketStart(id, heardMs, error);
                if (!recorded) Log("cannot record the start of ticket " + std::to_string(id) + ": " + error);
                Resume(connection, StoredReply(recorded));
            },
            [handle] { MHD_suspend_connection(handle); });
        if (queued) return MHD_YES;
        connection.stage = Stage::decided;
        return Answer(connection, {503, "server busy, try again later\n", false});
    }

    static std::int64_t UnixMs() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    }

    // A replay's bytes are read on a page thread, like the page's rows.
    MHD_Result ServeReplay(Connection& connection) {
        connection.stage = Stage::waitingForPage;
        MHD_Connection* handle = connection.handle;
        const bool queued = pages->Post(
            [this, &connection] {
                const std::int64_t id = connection.decision.replayId;
                std::string error;
                connection.webReply = ReplayDownloadFromStore(id, store, error);
                if (!error.empty()) {
                    Log("cannot read replay " + std::to_string(id) + ": " + error);
                    if (metrics) metrics->DatabaseError();
                }
                MHD_resume_connection(connection.handle);
            },
            [handle] { MHD_suspend_connection(handle); });
        if (queued) return MHD_YES;
        connection.stage = Stage::decided;
        return Answer(connection, {503, "server busy, try again later\n", false});
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
    ScoreService service;
    TableReply tableReply;  // before cache, whose listener publishes into it
    TableCache cache;
    const ConnectionTable::Limits limits;
    ConnectionTable connections;
    std::unique_ptr<CommitQueue> queue;
    std::unique_ptr<WorkerPool> pages;  // reads the web page's rows
    std::unique_ptr<ReplayChecker> checker;
    ReplayBodyBudget replayBodies;  // bodyLength of every replay held, together
    int listenFd = -1;
    MHD_Daemon* daemon = nullptr;
    std::atomic<bool> stopping{false};

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
