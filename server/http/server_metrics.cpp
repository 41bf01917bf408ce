#include "server/http/server_metrics.h"

#include <microhttpd.h>

#include <algorithm>
#include <cstdio>

#include "server/http/score_service.h"

namespace {

constexpr std::array<std::string_view, ServerMetrics::routeCount> routeNames = {
    "view", "add", "replay", "page", "json", "style", "other"};
constexpr std::array<std::string_view, ServerMetrics::closeReasonCount> closeReasonNames = {
    "deadline", "client_abort", "read_error", "error", "idle_timeout", "shutdown"};
// In the order of ReplayVerdict.
constexpr std::array<std::string_view, 5> verdictNames = {"proven", "refused", "unproven", "stopped",
                                                          "not_run"};
static_assert(static_cast<std::size_t>(ReplayVerdict::NotRun) + 1 == verdictNames.size());

void Header(std::string& out, std::string_view name, std::string_view type, std::string_view help) {
    out.append("# HELP ").append(name).append(" ").append(help).append("\n");
    out.append("# TYPE ").append(name).append(" ").append(type).append("\n");
}

// "name{labels} value\n"; labels may be empty.
void Sample(std::string& out, std::string_view name, std::string_view labels, double value) {
    char number[32];
    std::snprintf(number, sizeof number, "%.17g", value);
    out.append(name);
    if (!labels.empty()) out.append("{").append(labels).append("}");
    out.append(" ").append(number).append("\n");
}

std::string Label(std::string_view name, std::string_view value) {
    return std::string(name) + "=\"" + std::string(value) + "\"";
}

std::string Bound(double bound) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", bound);
    return text;
}

// Cumulative buckets, sum and count of one histogram; labels go before "le".
template <std::size_t Bounds, class Buckets>
void HistogramSamples(std::string& out, std::string_view name, const std::string& labels,
                      const std::array<double, Bounds>& bounds, const Buckets& buckets, double sum) {
    const std::string prefix = labels.empty() ? std::string() : labels + ",";
    std::uint64_t total = 0;
    for (std::size_t i = 0; i <= Bounds; ++i) {
        total += buckets[i].load(std::memory_order_relaxed);
        const std::string le = i < Bounds ? Bound(bounds[i]) : std::string("+Inf");
        Sample(out, std::string(name) + "_bucket", prefix + Label("le", le), static_cast<double>(total));
    }
    Sample(out, std::string(name) + "_sum", labels, sum);
    Sample(out, std::string(name) + "_count", labels, static_cast<double>(total));
}

}  // namespace

ServerMetrics::Route ServerMetrics::RouteOf(std::string_view target) {
    const std::optional<ServedRoute> route = RouteOfPath(target.substr(0, target.find('?')));
    if (!route) return Route::other;
    switch (*route) {
        case ServedRoute::table:
            return Route::view;
        case ServedRoute::add:
            return Route::add;
        case ServedRoute::replay:
            return Route::replay;
        case ServedRoute::page:
            return Route::page;
        case ServedRoute::json:
            return Route::json;
        case ServedRoute::style:
            return Route::style;
        case ServedRoute::ticket:
        case ServedRoute::start:
            break;
    }
    return Route::other;
}

std::optional<ServerMetrics::CloseReason> ServerMetrics::CloseReasonOf(int libraryTermination) {
    switch (libraryTermination) {
        case MHD_REQUEST_TERMINATED_COMPLETED_OK:
            return std::nullopt;
        case MHD_REQUEST_TERMINATED_TIMEOUT_REACHED:
            return CloseReason::idle;
        case MHD_REQUEST_TERMINATED_DAEMON_SHUTDOWN:
            return CloseReason::shutdown;
        case MHD_REQUEST_TERMINATED_READ_ERROR:
            return CloseReason::readError;
        case MHD_REQUEST_TERMINATED_CLIENT_ABORT:
            return CloseReason::clientAbort;
        default:
            return CloseReason::error;
    }
}

template <std::size_t Bounds>
void ServerMetrics::Histogram<Bounds>::Observe(const std::array<double, Bounds>& bounds, double value,
                                               std::uint64_t scaled) {
    const std::size_t bucket =
        static_cast<std::size_t>(std::lower_bound(bounds.begin(), bounds.end(), value) - bounds.begin());
    Add(buckets[bucket], 1);
    Add(sum, scaled);
}

void ServerMetrics::RequestDone(Route route, int status, std::chrono::nanoseconds latency) {
    RouteCounts& counts = routes[static_cast<std::size_t>(route)];
    const int index = status - lowestStatus;
    if (index >= 0 && static_cast<std::size_t>(index) < statusCount)
        Add(counts.byStatus[static_cast<std::size_t>(index)], 1);
    const std::int64_t nanoseconds = std::max<std::int64_t>(latency.count(), 0);
    counts.latency.Observe(latencyBounds, static_cast<double>(nanoseconds) * 1e-9,
                           static_cast<std::uint64_t>(nanoseconds));
}

void ServerMetrics::Committed(std::size_t rows) {
    Add(commits, 1);
    rowsPerCommit.Observe(rowsBounds, static_cast<double>(rows), rows);
}

void ServerMetrics::ReplayChecked(ReplayVerdict verdict, std::chrono::nanoseconds verifierCpu) {
    verifierQueue.fetch_sub(1, std::memory_order_relaxed);
    const auto index = static_cast<std::size_t>(verdict);
    if (index < verdicts.size()) Add(verdicts[index], 1);
    Add(verifierCpuNanoseconds, static_cast<std::uint64_t>(std::max<std::int64_t>(verifierCpu.count(), 0)));
}

std::string ServerMetrics::Render() const {
    static_assert(verdictCount == verdictNames.size());
    std::string out;
    out.reserve(16384);

    Header(out, "munchet_http_requests_total", "counter", "Requests answered, by route and status.");
    for (std::size_t r = 0; r < routeCount; ++r) {
        for (std::size_t s = 0; s < statusCount; ++s) {
            const std::uint64_t count = routes[r].byStatus[s].load(std::memory_order_relaxed);
            if (count == 0) continue;
            Sample(out, "munchet_http_requests_total",
                   Label("route", routeNames[r]) + "," +
                       Label("status", std::to_string(static_cast<int>(s) + lowestStatus)),
                   static_cast<double>(count));
        }
    }
    Header(out, "munchet_http_request_duration_seconds", "histogram",
           "Time from a request's first line to the end of its reply, by route.");
    for (std::size_t r = 0; r < routeCount; ++r) {
        const auto& latency = routes[r].latency;
        HistogramSamples(out, "munchet_http_request_duration_seconds", Label("route", routeNames[r]),
                         latencyBounds, latency.buckets,
                         static_cast<double>(latency.sum.load(std::memory_order_relaxed)) * 1e-9);
    }

    Header(out, "munchet_connections_open", "gauge", "Connections open now.");
    Sample(out, "munchet_connections_open", "",
           static_cast<double>(openConnections.load(std::memory_order_relaxed)));
    Header(out, "munchet_connections_refused_total", "counter",
           "Connections closed at once for being over the bound on open connections, in all or from one "
           "address.");
    Sample(out, "munchet_connections_refused_total", "",
           static_cast<double>(refusedConnections.load(std::memory_order_relaxed)));
    Header(out, "munchet_connections_closed_total", "counter",
           "Connections cut by the server or broken off mid-request, by reason (normal closes are not "
           "counted).");
    for (std::size_t i = 0; i < closeReasonCount; ++i)
        Sample(out, "munchet_connections_closed_total", Label("reason", closeReasonNames[i]),
               static_cast<double>(closedConnections[i].load(std::memory_order_relaxed)));

    Header(out, "munchet_commits_total", "counter",
           "Durable transactions: batches of submissions and replays.");
    Sample(out, "munchet_commits_total", "", static_cast<double>(commits.load(std::memory_order_relaxed)));
    Header(out, "munchet_rows_per_commit", "histogram", "Submissions stored together in one transaction.");
    HistogramSamples(out, "munchet_rows_per_commit", "", rowsBounds, rowsPerCommit.buckets,
                     static_cast<double>(rowsPerCommit.sum.load(std::memory_order_relaxed)));
    Header(out, "munchet_database_errors_total", "counter", "Database reads and writes that failed.");
    Sample(out, "munchet_database_errors_total", "",
           static_cast<double>(databaseErrors.load(std::memory_order_relaxed)));

    Header(out, "munchet_verifier_queue_depth", "gauge", "Replays waiting for the verifier or being played.");
    Sample(out, "munchet_verifier_queue_depth", "",
           static_cast<double>(verifierQueue.load(std::memory_order_relaxed)));
    Header(out, "munchet_verifier_cpu_seconds_total", "counter", "CPU time the replay verifier has used.");
    Sample(out, "munchet_verifier_cpu_seconds_total", "",
           static_cast<double>(verifierCpuNanoseconds.load(std::memory_order_relaxed)) * 1e-9);
    Header(out, "munchet_replay_verdicts_total", "counter", "Replays played again, by verdict.");
    for (std::size_t i = 0; i < verdictCount; ++i)
        Sample(out, "munchet_replay_verdicts_total", Label("verdict", verdictNames[i]),
               static_cast<double>(verdicts[i].load(std::memory_order_relaxed)));
    return out;
}
