// What the routes behind the public port share, borrowed from the server,
// which keeps it all alive until the daemon has stopped.
#pragma once

#include <functional>
#include <string_view>

#include "server/http/commit_queue.h"
#include "server/http/connection_answers.h"
#include "server/http/connection_table.h"
#include "server/http/worker_pool.h"
#include "server/store/score_store.h"

class ServerMetrics;

struct RouteParts {
    ScoreStore& store;
    CommitQueue& queue;
    WorkerPool& pages;  // reads the store off the threads serving connections
    ConnectionAnswers& answers;
    ConnectionTable& connections;
    ServerMetrics* metrics;  // null: nothing counted
    std::function<void(std::string_view)> log;
};
