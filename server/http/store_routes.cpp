#include "server/http/store_routes.h"

#include <optional>
#include <string>
#include <utility>

#include "server/http/server_metrics.h"

MHD_Result StoreRoutes::AnswerTable(Connection& connection) {
    if (parts.answers.Stopping()) {
        // The shared reply cannot carry "Connection: close"; a copy can.
        const TableCache::Text text = cache.Current();
        if (text) return parts.answers.Text(connection, {MHD_HTTP_OK, *text, true});
    } else {
        parts.answers.Replying(connection, MHD_HTTP_OK);
        if (tableReply.Queue(connection.handle)) return MHD_YES;
    }
    return parts.answers.Text(connection, {MHD_HTTP_INTERNAL_SERVER_ERROR, "storage error\n", false});
}

// The thread goes on serving others meanwhile, and the commit resumes the
// connection for its answer.
MHD_Result StoreRoutes::Store(Connection& connection, ScoreRow row) {
    parts.connections.Storing(connection.entry);
    connection.stage = Stage::waitingForStore;
    MHD_Connection* handle = connection.handle;
    const bool queued = parts.queue.Submit(
        std::move(row),
        [&connection](bool stored) {
            connection.stored = stored;
            MHD_resume_connection(connection.handle);
        },
        [handle] { MHD_suspend_connection(handle); });
    if (queued) return MHD_YES;
    connection.stage = Stage::decided;
    return parts.answers.Text(connection, {MHD_HTTP_SERVICE_UNAVAILABLE, "server is shutting down\n", true});
}

// The stylesheet, a refused query and a copy that is still current are
// answered at once without the store. Anything else waits for a page
// thread to read the rows, parked like a submission, while this thread
// goes on serving others: view.php never waits behind a page read.
MHD_Result StoreRoutes::ServeWeb(Connection& connection) {
    const WebRequest& request = connection.decision.web;
    // Read before the rows, so the tag sent never claims rows newer than the page.
    const std::string stamp = cache.Stamp();
    if (const std::optional<WebReply> reply = AnswerWithoutStore(request, stamp, connection.ifNoneMatch))
        return parts.answers.Web(connection, *reply);
    connection.stage = Stage::waitingForPage;
    MHD_Connection* handle = connection.handle;
    const bool queued = parts.pages.Post(
        [this, &connection, stamp] {
            std::string error;
            connection.webReply = AnswerFromStore(connection.decision.web, stamp, parts.store, error);
            if (!error.empty()) {
                parts.log("cannot read the scores: " + error);
                if (parts.metrics) parts.metrics->DatabaseError();
            }
            MHD_resume_connection(connection.handle);
        },
        [handle] { MHD_suspend_connection(handle); });
    if (queued) return MHD_YES;
    connection.stage = Stage::decided;
    return parts.answers.Web(
        connection, UnavailableReply(request.content, parts.answers.Stopping()
                                                          ? "The server is shutting down."
                                                          : "The server is busy. Try again shortly."));
}

// The moment a ticketed game began, as the server's clock says, kept
// durably through a page thread.
MHD_Result StoreRoutes::RecordStart(Connection& connection) {
    parts.connections.Storing(connection.entry);
    connection.stage = Stage::waitingForReplay;
    MHD_Connection* handle = connection.handle;
    const std::uint64_t id = connection.decision.ticketId;
    const std::int64_t heardMs = UnixMs();
    const bool queued = parts.pages.Post(
        [this, &connection, id, heardMs] {
            std::string error;
            const bool recorded = parts.store.RecordTicketStart(id, heardMs, error);
            if (!recorded)
                parts.log("cannot record the start of ticket " + std::to_string(id) + ": " + error);
            ResumeWithReply(connection, StoredReply(recorded));
        },
        [handle] { MHD_suspend_connection(handle); });
    if (queued) return MHD_YES;
    connection.stage = Stage::decided;
    return parts.answers.Text(connection, {503, "server busy, try again later\n", false});
}

// A replay's bytes are read on a page thread, like the page's rows.
MHD_Result StoreRoutes::ServeReplay(Connection& connection) {
    connection.stage = Stage::waitingForPage;
    MHD_Connection* handle = connection.handle;
    const bool queued = parts.pages.Post(
        [this, &connection] {
            const std::int64_t id = connection.decision.replayId;
            std::string error;
            connection.webReply = ReplayDownloadFromStore(id, parts.store, error);
            if (!error.empty()) {
                parts.log("cannot read replay " + std::to_string(id) + ": " + error);
                if (parts.metrics) parts.metrics->DatabaseError();
            }
            MHD_resume_connection(connection.handle);
        },
        [handle] { MHD_suspend_connection(handle); });
    if (queued) return MHD_YES;
    connection.stage = Stage::decided;
    return parts.answers.Text(connection, {503, "server busy, try again later\n", false});
}
