// Queues a connection's answer and tells the connection table it is being
// answered; while the server stops, every answer closes its connection.
#pragma once

#include <microhttpd.h>

#include <atomic>

#include "server/http/connection_table.h"
#include "server/http/served_connection.h"
#include "server/web/play_files.h"

class ConnectionAnswers {
public:
    // Borrows both, which must outlive it.
    ConnectionAnswers(ConnectionTable& connections, const std::atomic<bool>& stopping)
        : connections(connections), stopping(stopping) {}

    MHD_Result Text(Connection& connection, const ScoreReply& reply);
    MHD_Result Web(Connection& connection, const WebReply& reply);
    MHD_Result Play(Connection& connection, const PlayReply& reply);
    // For an answer shared by many connections, queued by the caller.
    void Replying(Connection& connection, int status);

    bool Stopping() const { return stopping; }

    // The answer to work a full or closed queue would not take.
    ScoreReply Busy() const;

private:
    ConnectionTable& connections;
    const std::atomic<bool>& stopping;
};
