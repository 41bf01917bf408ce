#include "server/score_server.h"

#include <httplib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <ctime>

#include "server/client_address.h"
#include "server/connection_stream.h"
#include "server/request_log.h"
#include "server/score_service.h"

namespace {

// The request a worker thread is serving, for its log line: the logger gets
// only the request and the reply, and runs on the worker's own thread.
thread_local ConnectionStream::Clock::time_point requestStart;
thread_local const ConnectionStream* requestStream = nullptr;
// Set when the library itself refused the request (bad request line, target
// too long, unknown route for another method): whatever follows on that
// connection cannot be trusted to start a request, so it is closed.
thread_local bool closeAfterReply = false;

const char* ErrorText(int status) {
    switch (status) {
        case 400:
            return "bad request\n";
        case 404:
            return "not found\n";
        case 413:
            return "request too large\n";
        case 414:
            return "request target too long\n";
        case 500:
            return "internal error\n";
        default:
            return "error\n";
    }
}

}  // namespace

// cpp-httplib's server with its per-connection loop replaced: the library's
// own loop allows a client to trickle a request forever (its time-out covers
// a single read) and reads headers without a total bound.
class ScoreServer::Http final : public httplib::Server {
public:
    explicit Http(ScoreServer& owner) : owner(owner) {
        const auto threads = static_cast<std::size_t>(std::max(owner.config.threads, 1));
        new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
        set_payload_max_length(owner.config.maxRequestBytes);
        // The library's default also sets SO_REUSEPORT, which would let a
        // second server start on a port already served and silently share it.
        set_socket_options([](socket_t sock) {
            const int yes = 1;
            setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        });
        set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
            return Route(request, response);
        });
        set_keep_alive_max_count(static_cast<std::size_t>(std::max(owner.config.keepAliveRequests, 1)));
        set_keep_alive_timeout(std::max<time_t>(
            1, std::chrono::duration_cast<std::chrono::seconds>(owner.config.idleTimeout).count()));
        set_error_handler(HandlerWithResponse([](const httplib::Request&, httplib::Response& response) {
            if (!response.body.empty()) return HandlerResponse::Unhandled;
            closeAfterReply = true;
            response.set_header("Connection", "close");
            response.set_content(ErrorText(response.status), "text/plain");
            return HandlerResponse::Handled;
        }));
        set_logger([this](const httplib::Request& request, const httplib::Response& response) {
            const auto duration = ConnectionStream::Clock::now() - requestStart;
            Log(FormatRequestLogLine(std::chrono::system_clock::now(), ClientOf(request), request.method,
                                     request.target, response.status, duration));
        });
    }

    bool StopRequested() const { return owner.stopping.load() || svr_sock_ == INVALID_SOCKET; }

private:
    HandlerResponse Route(const httplib::Request& request, httplib::Response& response) {
        // Other methods, HEAD included (it must not store a row), fall through
        // to the library, which answers 404 after reading (at most
        // maxRequestBytes of) any body.
        if (request.method != "GET") return HandlerResponse::Unhandled;
        const std::string client = ClientOf(request);
        ScoreService service{owner.store, owner.limiter};
        const ScoreReply reply = service.Handle(request.target, client, RateLimiter::Clock::now(),
                                                static_cast<std::int64_t>(std::time(nullptr)));
        if (!reply.logNote.empty()) Log("storage error: " + reply.logNote);
        response.status = reply.status;
        response.set_content(reply.body, "text/plain");
        response.set_header("Cache-Control", "no-store");
        return HandlerResponse::Handled;
    }

    std::string ClientOf(const httplib::Request& request) const {
        std::string peer = request.remote_addr;
        if (peer.empty() && requestStream) {
            int port = 0;
            requestStream->get_remote_ip_and_port(peer, port);
        }
        const std::size_t forwardedCount = request.get_header_value_count("X-Forwarded-For");
        const std::string forwarded = forwardedCount == 0
                                          ? std::string()
                                          : request.get_header_value("X-Forwarded-For", forwardedCount - 1);
        return ChooseClientAddress(peer, forwarded, owner.config.trustProxy);
    }

    void Log(std::string_view line) const {
        if (owner.config.log) {
            owner.config.log(line);
        } else {
            WriteLogLine(line);
        }
    }

    // Overrides the library's private per-connection entry point; it runs on
    // a worker thread for each accepted socket and must close it.
    bool process_and_close_socket(socket_t sock) override {
        const ScoreServerConfig& config = owner.config;
        ConnectionStream stream(sock, config.ioTimeout);
        requestStream = &stream;
        bool ok = false;
        for (int served = 0; served < config.keepAliveRequests; ++served) {
            // The first request gets the full time-out to arrive, as a client
            // may connect a moment before it writes.
            const auto wait = served == 0 ? config.ioTimeout : config.idleTimeout;
            if (!stream.WaitForRequest(ConnectionStream::Clock::now() + wait,
                                       [this] { return StopRequested(); })) {
                break;
            }
            stream.BeginRequest(config.maxRequestBytes);
            requestStart = ConnectionStream::Clock::now();
            closeAfterReply = false;
            const bool last = served + 1 == config.keepAliveRequests || StopRequested();
            bool closed = false;
            ok = process_request(stream, last, closed, {});
            if (const char* reason = stream.CutOffReason()) {
                std::string peer;
                int port = 0;
                stream.get_remote_ip_and_port(peer, port);
                Log("connection from " + (peer.empty() ? std::string("-") : peer) + " closed: request " +
                    reason);
            }
            if (!ok || closed || closeAfterReply) break;
        }
        requestStream = nullptr;
        shutdown(sock, SHUT_RDWR);
        close(sock);
        return ok;
    }

    ScoreServer& owner;
};

ScoreServer::ScoreServer(ScoreStore& store, ScoreServerConfig config)
    : store(store), config(std::move(config)), limiter(this->config.rateLimit) {}

ScoreServer::~ScoreServer() { Stop(); }

int ScoreServer::Start(const std::string& host, int port) {
    Stop();
    stopping = false;
    http = std::make_unique<Http>(*this);
    const int bound = port == 0 ? http->bind_to_any_port(host) : (http->bind_to_port(host, port) ? port : -1);
    if (bound < 0) {
        http.reset();
        return -1;
    }
    running = true;
    acceptThread = std::thread([this] {
        http->listen_after_bind();
        running = false;
    });
    return bound;
}

void ScoreServer::Stop() {
    if (!http) return;
    stopping = true;
    // The library ignores stop() until its accept loop has begun, and must
    // not be told twice.
    while (running && !http->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (running) http->stop();
    if (acceptThread.joinable()) acceptThread.join();
    http.reset();
}
