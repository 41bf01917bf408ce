// The routes answered from the table in memory or the store: the table
// (view.php), a submission (add.php), a ticket's start (start.php), the web
// page with its twin and stylesheet, and a replay's download. What waits for
// a commit or a read parks its connection, and the thread that finishes the
// work resumes it with the answer.
#pragma once

#include <microhttpd.h>

#include <utility>

#include "server/http/route_parts.h"
#include "server/http/served_connection.h"
#include "server/http/table_reply.h"
#include "server/store/table_cache.h"

class StoreRoutes {
public:
    // Borrows the cache and the shared reply, which must outlive it.
    StoreRoutes(RouteParts parts, TableCache& cache, TableReply& tableReply)
        : parts(std::move(parts)), cache(cache), tableReply(tableReply) {}

    MHD_Result AnswerTable(Connection& connection);
    // Parks the connection until its row is durable.
    MHD_Result Store(Connection& connection, ScoreRow row);
    MHD_Result ServeWeb(Connection& connection);
    MHD_Result RecordStart(Connection& connection);
    MHD_Result ServeReplay(Connection& connection);

private:
    const RouteParts parts;
    TableCache& cache;
    TableReply& tableReply;
};
