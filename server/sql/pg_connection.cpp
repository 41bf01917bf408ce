#include "server/sql/pg_connection.h"

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>

namespace {

// libpq's messages end in a newline and may run to several lines (DETAIL,
// HINT); one line is enough for a log.
std::string FirstLine(const char* message) {
    std::string_view text = message ? message : "";
    text = text.substr(0, text.find('\n'));
    if (text.starts_with("ERROR:  ")) text.remove_prefix(8);
    return text.empty() ? std::string("unknown error") : std::string(text);
}

std::string ResultError(const PGresult* result) {
    const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
    return FirstLine(primary ? primary : PQresultErrorMessage(result));
}

void IgnoreNotice(void*, const char*) {}

}  // namespace

bool IsPostgresUri(std::string_view text) {
    return text.starts_with("postgresql://") || text.starts_with("postgres://");
}

std::string RedactPostgresUri(const std::string& uri) {
    char* message = nullptr;
    PQconninfoOption* options = PQconninfoParse(uri.c_str(), &message);
    PQfreemem(message);
    if (!options) return "postgresql://(not a valid URI)";
    std::string user, host, port, dbname;
    bool password = false;
    for (const PQconninfoOption* o = options; o->keyword; ++o) {
        if (!o->val) continue;
        const std::string_view key = o->keyword;
        if (key == "user") user = o->val;
        if (key == "host") host = o->val;
        if (key == "port") port = o->val;
        if (key == "dbname") dbname = o->val;
        if (key == "password") password = true;
    }
    PQconninfoFree(options);
    std::string text = "postgresql://";
    if (!user.empty()) text += user + (password ? ":***@" : "@");
    text += host.find(':') != std::string::npos ? "[" + host + "]" : host;
    if (!port.empty()) text += ":" + port;
    return text + "/" + dbname;
}

bool PgBackoff::MayTry(std::string& error) {
    std::lock_guard lock(mutex);
    if (Clock::now() >= nextAttempt) return true;
    error = lastFailure;
    return false;
}

void PgBackoff::Failed(const std::string& error, const PgSettings& settings) {
    std::lock_guard lock(mutex);
    wait = wait.count() == 0 ? settings.firstRetry : std::min(2 * wait, settings.lastRetry);
    nextAttempt = Clock::now() + wait;
    lastFailure = error;
}

void PgBackoff::Succeeded() {
    std::lock_guard lock(mutex);
    wait = std::chrono::milliseconds(0);
    nextAttempt = {};
}

PgConnection::PgConnection(PgSettings settings, Prepare prepare, std::shared_ptr<PgBackoff> backoff)
    : settings(std::move(settings)), prepare(std::move(prepare)), backoff(std::move(backoff)) {}

PgConnection::~PgConnection() { Disconnect(); }

void PgConnection::Disconnect() {
    if (connection) PQfinish(connection);
    connection = nullptr;
}

bool PgConnection::Ensure(std::string& error) {
    return connection || (backoff->MayTry(error) && Connect(error));
}

bool PgConnection::Connect(std::string& error) {
    Disconnect();
    const auto deadline = Clock::now() + settings.timeout;
    // libpq's own bound, in whole seconds, covers what our deadline cannot:
    // a host name lookup, which libpq makes without waiting on a socket.
    const std::string connectSeconds = std::to_string(
        std::max<long long>(2, std::chrono::ceil<std::chrono::seconds>(settings.timeout).count()));
    // The URI comes last and so overrides any of these it sets itself.
    const char* const keys[] = {"connect_timeout", "application_name", "client_encoding", "dbname", nullptr};
    const char* const values[] = {connectSeconds.c_str(), "munchet-scores", "UTF8", settings.uri.c_str(),
                                  nullptr};
    // libpq's complaint about a URI it cannot parse quotes the URI, password
    // and all: keep only the complaint.
    char* complaint = nullptr;
    PQconninfoOption* parsed = PQconninfoParse(settings.uri.c_str(), &complaint);
    PQconninfoFree(parsed);
    if (!parsed) {
        const std::string text = FirstLine(complaint);
        PQfreemem(complaint);
        error = "not a valid URI (" + text.substr(0, text.find(": \"")) + ")";
    }
    connection = parsed ? PQconnectStartParams(keys, values, 1) : nullptr;
    bool ok = connection && PQstatus(connection) != CONNECTION_BAD;
    PostgresPollingStatusType polling = PGRES_POLLING_WRITING;
    while (ok && polling != PGRES_POLLING_OK) {
        ok = polling != PGRES_POLLING_FAILED &&
             WaitFor(polling == PGRES_POLLING_READING ? POLLIN : POLLOUT, deadline, error);
        if (ok) polling = PQconnectPoll(connection);
    }
    if (ok) {
        PQsetNoticeProcessor(connection, IgnoreNotice, nullptr);
        ok = PQsetnonblocking(connection, 1) == 0;
    }
    if (!ok && error.empty()) error = FirstLine(connection ? PQerrorMessage(connection) : "out of memory");
    if (ok && prepare && !prepare(*this, error)) ok = false;
    if (ok) {
        backoff->Succeeded();
        return true;
    }
    Disconnect();
    error = "cannot connect to " + RedactPostgresUri(settings.uri) + ": " + error;
    backoff->Failed(error, settings);
    return false;
}

bool PgConnection::WaitFor(short events, Clock::time_point deadline, std::string& error) {
    while (true) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            error = "no answer from the database within " + std::to_string(settings.timeout.count()) + " ms";
            return false;
        }
        pollfd entry{PQsocket(connection), events, 0};
        if (entry.fd < 0) {
            error = FirstLine(PQerrorMessage(connection));
            return false;
        }
        const int ready = ::poll(&entry, 1, static_cast<int>(std::min<long long>(left.count(), 1 << 30)));
        if (ready > 0) return true;
        if (ready < 0 && errno != EINTR) {
            error = "poll failed";
            return false;
        }
    }
}

void PgConnection::Failed(std::string& error, std::string_view what) {
    if (error.empty()) error = FirstLine(PQerrorMessage(connection));
    error = std::string(what) + ": " + error;
    Disconnect();
}

bool PgConnection::Run(const std::string& sql, std::span<const char* const> params,
                       std::vector<PgResult>& results, std::string& error) {
    results.clear();
    error.clear();
    if (!Ensure(error)) return false;
    const auto deadline = Clock::now() + settings.timeout;
    const int sent = params.empty()
                         ? PQsendQuery(connection, sql.c_str())
                         : PQsendQueryParams(connection, sql.c_str(), static_cast<int>(params.size()),
                                             nullptr, params.data(), nullptr, nullptr, 0);
    if (!sent) {
        Failed(error, "cannot send to the database");
        return false;
    }
    // In non-blocking mode a long command may not fit the socket at once.
    int flushed;
    while ((flushed = PQflush(connection)) == 1) {
        if (!WaitFor(POLLOUT | POLLIN, deadline, error) || !PQconsumeInput(connection)) {
            Failed(error, "cannot send to the database");
            return false;
        }
    }
    if (flushed < 0) {
        Failed(error, "cannot send to the database");
        return false;
    }
    return Collect(deadline, results, error);
}

bool PgConnection::Collect(Clock::time_point deadline, std::vector<PgResult>& results, std::string& error) {
    std::string failure;
    while (true) {
        while (PQisBusy(connection)) {
            if (!WaitFor(POLLIN, deadline, error) || !PQconsumeInput(connection)) {
                Failed(error, "lost the database connection");
                return false;
            }
        }
        PGresult* result = PQgetResult(connection);
        if (!result) break;
        const ExecStatusType status = PQresultStatus(result);
        if (failure.empty() && status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            failure = ResultError(result);
        results.emplace_back(result, PQclear);
    }
    if (PQstatus(connection) == CONNECTION_BAD) {
        error = failure;
        Failed(error, "lost the database connection");
        return false;
    }
    if (failure.empty()) return true;
    error = failure;
    // Leave no failed transaction behind for the next caller to trip on.
    if (PQtransactionStatus(connection) == PQTRANS_INERROR) {
        std::vector<PgResult> ignored;
        std::string rollbackError;
        Run("ROLLBACK", {}, ignored, rollbackError);
    }
    return false;
}

bool PgConnection::Run(const std::string& sql, std::string& error) {
    std::vector<PgResult> ignored;
    return Run(sql, {}, ignored, error);
}

bool PgConnection::Value(const std::string& sql, std::span<const char* const> params, std::string& value,
                         std::string& error) {
    std::vector<PgResult> results;
    if (!Run(sql, params, results, error)) return false;
    if (results.size() != 1 || PQntuples(results.front().get()) < 1 || PQnfields(results.front().get()) < 1) {
        error = "unexpected reply to " + sql.substr(0, sql.find(' '));
        return false;
    }
    value = PQgetvalue(results.front().get(), 0, 0);
    return true;
}
