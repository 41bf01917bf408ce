#include "server/http/admin_listener.h"

#include <microhttpd.h>
#include <unistd.h>

#include <cstring>
#include <string_view>

#include "server/http/listen_socket.h"

namespace {

// A scraper, a health check and an operator's curl: a handful at once.
constexpr unsigned connectionLimit = 32;
constexpr unsigned idleSeconds = 10;
constexpr const char* metricsType = "text/plain; version=0.0.4; charset=utf-8";

struct Answer {
    unsigned status;
    std::string body;
    const char* type = "text/plain; charset=utf-8";
};

// What the request handler reads.
struct AdminContext {
    ScoreStore& store;
    const ServerMetrics& metrics;
};

}  // namespace

struct AdminListener::Daemon {
    AdminContext context;
    MHD_Daemon* handle = nullptr;
    int listenFd = -1;  // the library's to close once it runs

    ~Daemon() {
        if (handle) {
            MHD_stop_daemon(handle);
        } else if (listenFd >= 0) {
            close(listenFd);
        }
    }
};

namespace {

Answer Route(std::string_view path, ScoreStore& store, const ServerMetrics& metrics) {
    if (path == "/healthz") return {MHD_HTTP_OK, "ok\n"};
    if (path == "/readyz") {
        std::string stamp, error;
        if (store.ReadChangeStamp(stamp, error)) return {MHD_HTTP_OK, "ready\n"};
        return {MHD_HTTP_SERVICE_UNAVAILABLE, "database unavailable: " + error + "\n"};
    }
    if (path == "/metrics") return {MHD_HTTP_OK, metrics.Render(), metricsType};
    return {MHD_HTTP_NOT_FOUND, "not found: try /healthz, /readyz or /metrics\n"};
}

MHD_Result Send(MHD_Connection* connection, const Answer& answer) {
    MHD_Response* response = MHD_create_response_from_buffer(
        answer.body.size(), const_cast<char*>(answer.body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response) return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.type);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    if (answer.status == MHD_HTTP_METHOD_NOT_ALLOWED)
        MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, "GET, HEAD");
    const MHD_Result queued = MHD_queue_response(connection, answer.status, response);
    MHD_destroy_response(response);
    return queued;
}

MHD_Result OnRequest(void* cls, MHD_Connection* connection, const char* url, const char* method, const char*,
                     const char*, size_t* uploadSize, void** state) {
    if (*state == nullptr) {
        // The headers are in. A refusal queued now is sent without reading
        // any body, and the connection closed after it; anything else is
        // answered on the next call, once the whole request is in, so the
        // connection can be kept.
        *state = connection;
        if (std::strcmp(method, "GET") != 0 && std::strcmp(method, "HEAD") != 0)
            return Send(connection, {MHD_HTTP_METHOD_NOT_ALLOWED, "GET or HEAD only\n"});
        const char* length =
            MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
        if ((length && std::strcmp(length, "0") != 0) ||
            MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING))
            return Send(connection, {MHD_HTTP_BAD_REQUEST, "no body here\n"});
        return MHD_YES;
    }
    *uploadSize = 0;
    const auto& context = *static_cast<const AdminContext*>(cls);
    return Send(connection, Route(url, context.store, context.metrics));
}

}  // namespace

AdminListener::AdminListener(ScoreStore& store, const ServerMetrics& metrics)
    : store(store), metrics(metrics) {}

AdminListener::~AdminListener() { Stop(); }

int AdminListener::Start(const std::string& host, int port, std::string& error) {
    Stop();
    std::unique_ptr<Daemon> fresh(new Daemon{{store, metrics}});
    fresh->listenFd = OpenListenSocket(host, port, error);
    if (fresh->listenFd < 0) return -1;
    fresh->handle = MHD_start_daemon(MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_POLL | MHD_USE_ERROR_LOG, 0,
                                     nullptr, nullptr, &OnRequest, &fresh->context, MHD_OPTION_LISTEN_SOCKET,
                                     fresh->listenFd, MHD_OPTION_CONNECTION_LIMIT, connectionLimit,
                                     MHD_OPTION_CONNECTION_TIMEOUT, idleSeconds, MHD_OPTION_END);
    if (!fresh->handle) {
        error = "libmicrohttpd did not start";
        return -1;
    }
    const int bound = BoundPort(fresh->listenFd);
    daemon = std::move(fresh);
    return bound;
}

void AdminListener::Stop() { daemon.reset(); }
