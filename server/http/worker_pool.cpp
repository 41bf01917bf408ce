#include "server/http/worker_pool.h"

#include <sys/resource.h>
#include <unistd.h>

WorkerPool::WorkerPool(int threadCount, std::size_t maxQueued, int niceness) : maxQueued(maxQueued) {
    using Queued = std::deque<Job>;
    queue.Start(threadCount, {.ready = [](const Queued& queued) { return !queued.empty(); },
                              .take =
                                  [](Queued& queued, WorkQueue<Queued>::Lock& lock) {
                                      Job job = std::move(queued.front());
                                      queued.pop_front();
                                      lock.unlock();
                                      job();
                                      lock.lock();
                                  },
                              .idleUntil = {},
                              .idle = {},
                              // Only lowers this thread's priority, which needs no
                              // privilege; should it fail, the thread runs at the
                              // process's priority, which is no harm.
                              .started =
                                  [niceness] {
                                      if (niceness > 0)
                                          setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()),
                                                      getpriority(PRIO_PROCESS, 0) + niceness);
                                  }});
}

WorkerPool::~WorkerPool() { Close(); }

bool WorkerPool::Post(Job job, const std::function<void()>& accepted) {
    return queue.Put([&](std::deque<Job>& queued) {
        if (queued.size() >= maxQueued) return false;
        if (accepted) accepted();
        queued.push_back(std::move(job));
        return true;
    });
}

void WorkerPool::Close() { queue.Close(); }
