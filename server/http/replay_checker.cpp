#include "server/http/replay_checker.h"

#include <algorithm>
#include <mutex>
#include <optional>

#include "server/store/client_address.h"

ReplayChecker::ReplayChecker(ReplayCheckerLimits given)
    : limits([&] {
          given.threads = std::max(given.threads, 1);
          given.capacity = std::max<std::size_t>(given.capacity, 1);
          given.perClient = std::max<std::size_t>(given.perClient, 1);
          return given;
      }()),
      budget(std::chrono::duration<double>(limits.cpuPerClientMinute).count()) {
    options.maxFrames = limits.maxFrames;
    options.cpuBudget = limits.cpuPerReplay;
    options.stop = [this](std::uint32_t) { return queue.Closing(); };
    queue.Start(limits.threads, {.ready = [](const Waiting& waiting) { return !waiting.turns.empty(); },
                                 .take = [this](Waiting& waiting, Lock& lock) { TakeTurn(waiting, lock); },
                                 .idleUntil = {},
                                 .idle = {},
                                 .started = {}});
}

ReplayChecker::~ReplayChecker() { Close(); }

ReplayChecker::Admission ReplayChecker::Submit(std::string_view client, ReplayUpload upload, Done done,
                                               const std::function<void()>& accepted) {
    const std::string key = LimitKey(client);
    Admission answer = Admission::closed;
    queue.Put([&](Waiting& waiting) {
        answer = Admits(waiting, key);
        if (answer != Admission::queued) return false;
        if (accepted) accepted();
        auto own = waiting.jobs.find(key);
        if (own == waiting.jobs.end()) {
            own = waiting.jobs.emplace(key, std::deque<std::unique_ptr<Job>>{}).first;
            waiting.turns.push_back(key);
        }
        own->second.push_back(std::make_unique<Job>(Job{std::move(upload), std::move(done), nullptr, {}}));
        ++waiting.held;
        return true;
    });
    return answer;
}

ReplayChecker::Admission ReplayChecker::WouldTake(std::string_view client) {
    const std::string key = LimitKey(client);
    return queue.Locked([&](Waiting& waiting) { return Admits(waiting, key); });
}

ReplayChecker::Admission ReplayChecker::Admits(Waiting& waiting, const std::string& client) {
    if (queue.Closing()) return Admission::closed;
    if (waiting.held >= limits.capacity + static_cast<std::size_t>(limits.threads)) return Admission::full;
    const auto own = waiting.jobs.find(client);
    if (own != waiting.jobs.end() && own->second.size() >= limits.perClient) return Admission::clientFull;
    if (budget > 0 && Allowance(waiting, client, budget).tokens <= 0) return Admission::overBudget;
    return Admission::queued;
}

TokenBucket& ReplayChecker::Allowance(Waiting& waiting, const std::string& client, double budget) {
    const Clock::time_point now = Clock::now();
    TokenBucket& left = waiting.spent.Seen(client, TokenBucket{budget, now});
    left.Refill(budget, budget / 60.0, now);
    return left;
}

void ReplayChecker::Close() { queue.Close(); }

std::optional<ReplayCheck> ReplayChecker::Turn(Job& job, std::chrono::nanoseconds& cpu) {
    if (queue.Closing()) {
        ReplayCheck stopped;
        stopped.verdict = ReplayVerdict::Stopped;
        stopped.reason = "the server is shutting down";
        return stopped;
    }
    if (!job.run) job.run = std::make_unique<ReplayRun>(job.upload.replay, options);
    const std::chrono::nanoseconds before = job.run->CpuUsed();
    job.run->Play(limits.slice);
    cpu = job.run->CpuUsed() - before;
    if (!job.run->Finished()) return std::nullopt;
    ReplayCheck check = job.run->Check();
    job.run.reset();
    return check;
}

void ReplayChecker::TakeTurn(Waiting& waiting, Lock& lock) {
    // The client with the most CPU time left goes first, the first in turn
    // among equals: one that has spent little (an honest game) is not kept
    // waiting by one that spends much, which plays when no one else waits.
    auto next = waiting.turns.begin();
    if (budget > 0)
        next = std::max_element(
            waiting.turns.begin(), waiting.turns.end(), [&](const std::string& a, const std::string& b) {
                return Allowance(waiting, a, budget).tokens < Allowance(waiting, b, budget).tokens;
            });
    const std::string client = std::move(*next);
    waiting.turns.erase(next);
    Job& job = *waiting.jobs[client].front();
    lock.unlock();
    std::chrono::nanoseconds cpu{0};
    std::optional<ReplayCheck> check = Turn(job, cpu);
    lock.lock();
    job.cpu += cpu;
    // Charged as spent: a long replay can take a client below nothing, and
    // its next replay waits until the debt is paid.
    if (budget > 0) Allowance(waiting, client, budget).tokens -= std::chrono::duration<double>(cpu).count();
    if (!check) {
        waiting.turns.push_back(client);
        return;
    }
    // Out of the books before its answer goes: the client may send its next
    // replay the moment it has it. Other threads may have changed the map
    // meanwhile, so the client's list is looked up again.
    auto& own = waiting.jobs[client];
    const std::unique_ptr<Job> finished = std::move(own.front());
    own.pop_front();
    --waiting.held;
    if (own.empty()) {
        waiting.jobs.erase(client);
    } else {
        waiting.turns.push_back(client);
    }
    lock.unlock();
    finished->done(std::move(finished->upload), *check, finished->cpu);
    lock.lock();
}
