#include "server/http/replay_checker.h"

#include <algorithm>
#include <optional>

#include "server/store/client_address.h"

namespace {

// Clients whose CPU time is remembered; past it the least recently seen is
// forgotten, which hands it back a full minute's time and no one else.
constexpr std::size_t trackedClients = 65536;

}  // namespace

ReplayChecker::ReplayChecker(ReplayCheckerLimits given)
    : limits([&] {
          given.capacity = std::max<std::size_t>(given.capacity, 1);
          given.perClient = std::max<std::size_t>(given.perClient, 1);
          return given;
      }()),
      spent(trackedClients) {
    options.maxFrames = limits.maxFrames;
    options.cpuBudget = limits.cpuPerReplay;
    options.stop = [this](std::uint32_t) { return closing.load(); };
    thread = std::thread([this] { Run(); });
}

ReplayChecker::~ReplayChecker() { Close(); }

ReplayChecker::Admission ReplayChecker::Submit(std::string_view client, ReplayUpload upload, Done done,
                                               const std::function<void()>& accepted) {
    const std::string key = LimitKey(client);
    {
        std::lock_guard lock(mutex);
        if (const Admission answer = Admits(key); answer != Admission::queued) return answer;
        if (accepted) accepted();
        auto own = jobs.find(key);
        if (own == jobs.end()) {
            own = jobs.emplace(key, std::deque<std::unique_ptr<Job>>{}).first;
            turns.push_back(key);
        }
        own->second.push_back(std::make_unique<Job>(Job{std::move(upload), std::move(done), nullptr}));
        ++held;
    }
    wake.notify_one();
    return Admission::queued;
}

ReplayChecker::Admission ReplayChecker::WouldTake(std::string_view client) {
    const std::string key = LimitKey(client);
    std::lock_guard lock(mutex);
    return Admits(key);
}

ReplayChecker::Admission ReplayChecker::Admits(const std::string& client) {
    if (closing) return Admission::closed;
    if (held >= limits.capacity + 1) return Admission::full;
    const auto own = jobs.find(client);
    if (own != jobs.end() && own->second.size() >= limits.perClient) return Admission::clientFull;
    const double budget = std::chrono::duration<double>(limits.cpuPerClientMinute).count();
    if (budget > 0 && Allowance(client, budget).tokens <= 0) return Admission::overBudget;
    return Admission::queued;
}

TokenBucket& ReplayChecker::Allowance(const std::string& client, double budget) {
    const Clock::time_point now = Clock::now();
    TokenBucket& left = spent.Seen(client, TokenBucket{budget, now});
    left.Refill(budget, budget / 60.0, now);
    return left;
}

void ReplayChecker::Close() {
    {
        std::lock_guard lock(mutex);
        closing = true;
    }
    wake.notify_one();
    if (thread.joinable()) thread.join();
}

std::optional<ReplayCheck> ReplayChecker::Turn(Job& job, std::chrono::nanoseconds& cpu) {
    if (closing) {
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

void ReplayChecker::Run() {
    const double budget = std::chrono::duration<double>(limits.cpuPerClientMinute).count();
    std::unique_lock lock(mutex);
    while (true) {
        wake.wait(lock, [this] { return !turns.empty() || closing; });
        if (turns.empty()) return;  // closing, and every replay answered
        // The client with the most CPU time left goes first, the first in
        // turn among equals: one that has spent little (an honest game) is
        // not kept waiting by one that spends much, which plays when no one
        // else waits.
        auto next = turns.begin();
        if (budget > 0)
            next =
                std::max_element(turns.begin(), turns.end(), [&](const std::string& a, const std::string& b) {
                    return Allowance(a, budget).tokens < Allowance(b, budget).tokens;
                });
        const std::string client = std::move(*next);
        turns.erase(next);
        auto& own = jobs[client];
        Job& job = *own.front();
        lock.unlock();
        std::chrono::nanoseconds cpu{0};
        std::optional<ReplayCheck> check = Turn(job, cpu);
        lock.lock();
        // Charged as spent: a long replay can take a client below nothing,
        // and its next replay waits until the debt is paid.
        if (budget > 0) Allowance(client, budget).tokens -= std::chrono::duration<double>(cpu).count();
        if (!check) {
            turns.push_back(client);
            continue;
        }
        // Out of the books before its answer goes: the client may send its
        // next replay the moment it has it.
        const std::unique_ptr<Job> finished = std::move(own.front());
        own.pop_front();
        --held;
        if (own.empty()) {
            jobs.erase(client);
        } else {
            turns.push_back(client);
        }
        lock.unlock();
        finished->done(std::move(finished->upload), *check);
        lock.lock();
    }
}
