#include "server/replay_checker.h"

ReplayChecker::ReplayChecker(std::size_t capacity, std::uint32_t maxFrames,
                             std::chrono::nanoseconds cpuBudget)
    : capacity(std::max<std::size_t>(capacity, 1)) {
    options.maxFrames = maxFrames;
    options.cpuBudget = cpuBudget;
    options.stop = [this](std::uint32_t) { return closing.load(); };
    thread = std::thread([this] { Run(); });
}

ReplayChecker::~ReplayChecker() { Close(); }

bool ReplayChecker::Submit(ReplayUpload upload, Done done, const std::function<void()>& accepted) {
    {
        std::lock_guard lock(mutex);
        if (closing || waiting.size() >= capacity) return false;
        if (accepted) accepted();
        waiting.push_back({std::move(upload), std::move(done)});
    }
    wake.notify_one();
    return true;
}

void ReplayChecker::Close() {
    {
        std::lock_guard lock(mutex);
        closing = true;
    }
    wake.notify_one();
    if (thread.joinable()) thread.join();
}

void ReplayChecker::Run() {
    std::unique_lock lock(mutex);
    while (true) {
        wake.wait(lock, [this] { return !waiting.empty() || closing; });
        if (waiting.empty()) return;  // closing, and every replay answered
        Job job = std::move(waiting.front());
        waiting.pop_front();
        lock.unlock();
        ReplayCheck check;
        if (closing) {
            check.verdict = ReplayVerdict::Stopped;
            check.reason = "the server is shutting down";
        } else {
            check = VerifyReplay(job.upload.replay, options);
        }
        job.done(std::move(job.upload), check);
        lock.lock();
    }
}
