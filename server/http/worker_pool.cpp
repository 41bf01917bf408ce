#include "server/http/worker_pool.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

WorkerPool::WorkerPool(int threadCount, std::size_t maxQueued, int niceness) : maxQueued(maxQueued) {
    for (int i = 0; i < std::max(threadCount, 1); ++i)
        threads.emplace_back([this, niceness] { Run(niceness); });
}

WorkerPool::~WorkerPool() { Close(); }

bool WorkerPool::Post(Job job, const std::function<void()>& accepted) {
    {
        std::lock_guard lock(mutex);
        if (closing || queued.size() >= maxQueued) return false;
        if (accepted) accepted();
        queued.push_back(std::move(job));
    }
    wake.notify_one();
    return true;
}

void WorkerPool::Close() {
    {
        std::lock_guard lock(mutex);
        closing = true;
    }
    wake.notify_all();
    for (std::thread& thread : threads)
        if (thread.joinable()) thread.join();
}

void WorkerPool::Run(int niceness) {
    // Only lowers this thread's priority, which needs no privilege; should it
    // fail, the thread runs at the process's priority, which is no harm.
    if (niceness > 0)
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), getpriority(PRIO_PROCESS, 0) + niceness);
    std::unique_lock lock(mutex);
    while (true) {
        wake.wait(lock, [this] { return closing || !queued.empty(); });
        if (queued.empty()) return;  // closing, and nothing left to run
        Job job = std::move(queued.front());
        queued.pop_front();
        lock.unlock();
        job();
        lock.lock();
    }
}
