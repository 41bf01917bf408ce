// Work waiting for threads of its own, and those threads: the lock, the
// wake-ups and the orderly stop that the group commit, the replay checker
// and the page readers share. What waits is a Waiting of the owner's own (a
// list, batches, turns per client), touched only under the queue's lock; how
// it is ordered, how much one thread takes at once and when it is full are
// the owner's to say.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

template <typename Waiting>
class WorkQueue {
public:
    using Clock = std::chrono::steady_clock;
    using Lock = std::unique_lock<std::mutex>;

    // What each thread does. Every member runs on the queue's threads.
    struct Worker {
        // Under the lock: whether there is work a thread could take now.
        std::function<bool(const Waiting&)> ready;
        // Under the lock, once ready: takes work and does it. It unlocks
        // while it works and returns with the lock held again.
        std::function<void(Waiting&, Lock&)> take;
        // When nothing is ready by idleUntil() (under the lock), idle runs
        // without the lock. Both may be empty: then a thread only waits.
        std::function<Clock::time_point()> idleUntil;
        std::function<void()> idle;
        // Runs once on each thread before it serves, without the lock.
        std::function<void()> started;
    };

    WorkQueue() = default;
    WorkQueue(const WorkQueue&) = delete;
    WorkQueue& operator=(const WorkQueue&) = delete;
    // Close(). An owner whose Worker refers to its other members closes the
    // queue first itself, while those still exist.
    ~WorkQueue() { Close(); }

    // Starts `threads` threads (at least 1) serving with worker.
    void Start(int threads, Worker worker) {
        this->worker = std::move(worker);
        for (int i = 0; i < std::max(threads, 1); ++i) this->threads.emplace_back([this] { Serve(); });
    }

    // Any thread: unless the queue is closed, put(waiting) runs under the
    // lock and says whether it took the work (false: full), and a thread is
    // woken when it did. False when closed or refused.
    template <typename Store>
    bool Put(Store&& put) {
        {
            std::lock_guard lock(mutex);
            if (closing || !put(waiting)) return false;
        }
        wake.notify_one();
        return true;
    }

    // Any thread: look(waiting) under the lock; its answer.
    template <typename Look>
    decltype(auto) Locked(Look&& look) {
        std::lock_guard lock(mutex);
        return look(waiting);
    }

    // True from Close on; the threads then serve what is ready, and end
    // once nothing is.
    bool Closing() const { return closing.load(); }

    // Takes no more work and joins the threads once they have served what
    // was ready. Idempotent.
    void Close() {
        {
            std::lock_guard lock(mutex);
            closing = true;
        }
        wake.notify_all();
        for (std::thread& thread : threads)
            if (thread.joinable()) thread.join();
    }

private:
    void Serve() {
        if (worker.started) worker.started();
        Lock lock(mutex);
        while (true) {
            const auto woken = [this] { return closing || worker.ready(waiting); };
            if (worker.idleUntil) {
                if (!wake.wait_until(lock, worker.idleUntil(), woken)) {
                    lock.unlock();
                    if (worker.idle) worker.idle();
                    lock.lock();
                    continue;
                }
            } else {
                wake.wait(lock, woken);
            }
            if (!worker.ready(waiting)) return;  // closing, and nothing left to take
            worker.take(waiting, lock);
            // What one thread handed back or left over may be another's.
            if (worker.ready(waiting)) wake.notify_one();
        }
    }

    std::mutex mutex;
    std::condition_variable wake;
    Waiting waiting{};
    std::atomic<bool> closing{false};
    Worker worker;
    std::vector<std::thread> threads;
};
