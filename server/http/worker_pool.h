// A few threads taking jobs off a bounded queue. The web page's reads run
// there, so a thread serving connections never waits on storage, and a flood
// of page requests is turned away at the queue's bound instead of piling up.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>

#include "server/http/work_queue.h"

class WorkerPool {
public:
    using Job = std::function<void()>;

    // Starts `threads` threads (at least 1). maxQueued: jobs that may wait at
    // once besides those running. niceness: added to each thread's nice value
    // (Linux keeps one per thread), 0..19; a higher one lets the other
    // threads of the process go first when the processor is busy.
    WorkerPool(int threads, std::size_t maxQueued, int niceness = 0);
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;
    ~WorkerPool();  // Close()

    // Queues a job; any thread. accepted, if set, runs under the pool's lock
    // before any thread can start the job, so whatever it prepares is in
    // place when the job runs. False when the queue is full or closed: then
    // neither runs.
    bool Post(Job job, const std::function<void()>& accepted = {});

    // Stops taking jobs, runs every job already queued and joins the threads.
    // Idempotent.
    void Close();

private:
    const std::size_t maxQueued;
    WorkQueue<std::deque<Job>> queue;
};
