#include "scores/ticket_keeper.h"

#include <algorithm>
#include <ctime>
#include <utility>

#include "common/log_sink.h"
#include "common/user_folders.h"
#include "scores/outbox_file.h"
#include "scores/ticket_file.h"
#include "scores/ticket_requests.h"

namespace {

using std::chrono::milliseconds;

std::string Named(const GameTicket& ticket) { return "game ticket " + std::to_string(ticket.id); }

}  // namespace

TicketKeeper::TicketKeeper(TicketSettings settings) : settings_(std::move(settings)) {
    std::string error;
    folder_ = settings_.folder.empty() ? UserFolder(UserFolderKind::Data, error)
                                       : MadeFolder(settings_.folder, error);
    if (!folder_) {
        Log("game ticket: none is kept between runs (" + error + ")");
    } else {
        OutboxFile outbox(*folder_);
        if (!outbox.Lock(std::chrono::steady_clock::now(), error)) {
            Log("game ticket: the kept one is left alone: " + error);
        } else {
            const KeptTicket kept = TakeKeptTicket(*folder_);
            if (!kept.note.empty()) Log(kept.note);
            if (kept.ticket && Usable(*kept.ticket, Now()))
                held_ = kept.ticket;
            else if (kept.ticket)
                Log("game ticket: dropped kept " + Named(*kept.ticket) + ": it expires too soon");
        }
    }
    wanted_ = !held_;
}

void TicketKeeper::Start() {
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

TicketKeeper::~TicketKeeper() {
    {
        std::lock_guard guard(mutex_);
        stop_ = true;
    }
    // The program is ending: a request under way is given up, not waited for.
    giveUp_ = true;
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    if (!held_ || !folder_ || !Usable(*held_, Now())) return;
    OutboxFile outbox(*folder_);
    std::string error;
    // As long as the exchange waits for the outbox when it must keep a score.
    const auto deadline = std::chrono::steady_clock::now() + settings_.budget / 12;
    if (outbox.Lock(deadline, error) && KeepTicket(*folder_, *held_, error))
        Log("game ticket: kept " + Named(*held_) + " for the next run");
    else
        Log("game ticket: " + Named(*held_) + " is not kept for the next run: " + error);
}

GameTicket TicketKeeper::Take() {
    std::optional<GameTicket> ticket;
    bool expired = false;
    {
        std::lock_guard guard(mutex_);
        const auto now = std::chrono::steady_clock::now();
        if (lastTaken_ && now - lastTakenAt_ < RetakeWindow) {
            lastTakenAt_ = now;
            return *lastTaken_;
        }
        ticket = std::exchange(held_, std::nullopt);
        expired = ticket && !Usable(*ticket, Now());
        if (expired)
            ticket.reset();
        else if (ticket)
            starts_.push_back(*ticket);
        lastTaken_ = ticket;
        lastTakenAt_ = now;
        wanted_ = true;
    }
    wake_.notify_one();
    if (expired) Log("game ticket: dropped the one held: it expires too soon; this game has none");
    return ticket.value_or(GameTicket{});
}

void TicketKeeper::Refill() {
    {
        std::lock_guard guard(mutex_);
        wanted_ = true;
    }
    wake_.notify_one();
}

bool TicketKeeper::WaitIdle(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    return idle_.wait_until(lock, deadline, [this] {
        return !busy_ && starts_.empty() && (held_ ? Usable(*held_, Now()) : !wanted_);
    });
}

void TicketKeeper::Run() {
    const RequestLimits limits{settings_.budget, std::min(milliseconds{1000}, settings_.budget / 3),
                               &giveUp_};
    std::unique_lock lock(mutex_);
    while (true) {
        while (!stop_ && starts_.empty() && !(wanted_ && !held_)) {
            if (!held_) {
                wake_.wait(lock);
                continue;
            }
            // The held ticket makes way for a fresh one as it comes to
            // expire too soon, so that the next game still has one.
            const std::int64_t left = SecondsLeft(*held_, Now());
            if (left > 0) {
                // Hourly at least: a hostile issue time must not overflow the clock.
                wake_.wait_for(lock, std::chrono::seconds(std::min<std::int64_t>(left, 3600)));
                continue;
            }
            held_.reset();
            wanted_ = true;
        }
        if (stop_) break;
        busy_ = true;
        if (!starts_.empty()) {
            // Before any fetch: the server times the game from when it hears this.
            const GameTicket ticket = starts_.front();
            starts_.pop_front();
            lock.unlock();
            const std::string failure = AnnounceGameStart(settings_.host, ticket, limits);
            if (!failure.empty())
                Log("game ticket: the server did not hear that the game of " + Named(ticket) +
                    " began, so its replay cannot be verified: " + failure);
        } else {
            wanted_ = false;
            lock.unlock();
            const TicketFetch fetch = FetchTicket(settings_.host, limits);
            // Once per kind of failure: an offline game would say the same
            // at every exchange.
            if (!fetch.ticket && fetch.failure != lastFailure_)
                Log("game ticket: none fetched: " + fetch.failure);
            lastFailure_ = fetch.failure;
            const std::int64_t now = Now();
            lock.lock();
            if (fetch.ticket) {
                serverAhead_ = fetch.ticket->issuedAt - now;
                if (!held_) held_ = fetch.ticket;
            }
        }
        if (!lock.owns_lock()) lock.lock();
        busy_ = false;
        idle_.notify_all();
    }
    busy_ = false;
    idle_.notify_all();
}

std::int64_t TicketKeeper::SecondsLeft(const GameTicket& ticket, std::int64_t now) const {
    return ticket.issuedAt + (TicketLifetime - TicketMargin).count() - (now + serverAhead_);
}

bool TicketKeeper::Usable(const GameTicket& ticket, std::int64_t now) const {
    return SecondsLeft(ticket, now) > 0;
}

std::int64_t TicketKeeper::Now() const {
    return settings_.now ? settings_.now() : static_cast<std::int64_t>(std::time(nullptr));
}

void TicketKeeper::Log(const std::string& line) const { LogTo(settings_.log, line); }
