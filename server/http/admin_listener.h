// The operator's own listener, apart from the public port: /healthz (the
// process answers), /readyz (the database answers) and /metrics (Prometheus
// text). It is meant for loopback or a private network; it takes GET and HEAD
// only, serves from one thread, and never touches what the players reach.
#pragma once

#include <memory>
#include <string>

#include "server/http/server_metrics.h"
#include "server/store/score_store.h"

class AdminListener {
public:
    // Borrows both, which must outlive it.
    AdminListener(ScoreStore& store, const ServerMetrics& metrics);
    AdminListener(const AdminListener&) = delete;
    AdminListener& operator=(const AdminListener&) = delete;
    ~AdminListener();  // Stop()

    // Binds host:port (0: any free port) and serves on a thread of its own.
    // Returns the bound port, or -1 with a message in error.
    int Start(const std::string& host, int port, std::string& error);
    void Stop();  // idempotent

private:
    struct Daemon;
    ScoreStore& store;
    const ServerMetrics& metrics;
    std::unique_ptr<Daemon> daemon;
};
