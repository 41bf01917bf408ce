// The game ticket in hand (common/game_ticket.h): at most one, fetched from
// the score server off the frame and taken by the next game that begins.
//  - Made: takes the ticket kept in the data folder (scores/ticket_file.h)
//    when no other copy of the game is using the folder at that moment (it
//    never waits: the first game begins right after).
//  - Start: starts a thread of its own that fetches a ticket from
//    ticket.php whenever none is held: at once, after every Take and
//    whenever Refill asks (each score exchange does). Until then Take works
//    from the kept ticket, and the thread tells the server about it later.
//  - Take, on the frame: hands over the held ticket, at once and only once,
//    and has the thread tell start.php that its game began. A game begun
//    again within RetakeWindow of the last Take (F1 held down begins one
//    every frame) gets that same ticket again: only the last of them is
//    played, and the server heard its start a moment before.
//  - Destroyed: gives up the thread's request under way (within
//    StopCheckInterval) and puts a ticket still held back in the data folder for
//    the next run, so a game begun offline still has one.
// A ticket is handed over only until TicketMargin before it expires, judged
// by the server's clock as the last fetch showed it (the local clock alone
// before any): a game must end, and its replay arrive, before the server
// calls the ticket expired. An older one is dropped and another fetched, by
// the thread as the held one comes to that age, or at the latest when a
// game or a Refill asks.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "common/game_ticket.h"
#include "common/log_sink.h"

// How long the score server takes a ticket after issuing it.
inline constexpr std::chrono::seconds TicketLifetime{24 * 60 * 60};
inline constexpr std::chrono::seconds TicketMargin{2 * 60 * 60};
inline constexpr std::chrono::milliseconds RetakeWindow{500};

struct TicketSettings {
    std::string host;                    // "host[:port]" of the score server
    std::chrono::milliseconds budget{};  // the wall time of each request
    // The folder of the kept ticket; empty: the player's data folder.
    std::string folder;
    // One line (no line feed) for every failed request and every ticket
    // fetched, taken, dropped or kept. Called on the keeper's thread too.
    LogSink log;
    // UTC seconds since 1970 now; null: the system clock.
    std::function<std::int64_t()> now;
};

class TicketKeeper {
public:
    explicit TicketKeeper(TicketSettings settings);
    ~TicketKeeper();
    TicketKeeper(const TicketKeeper&) = delete;
    TicketKeeper& operator=(const TicketKeeper&) = delete;

    // Starts the thread; nothing once it runs.
    void Start();

    // The held ticket, which is then no longer held; one not Held when there
    // is none (or only an expired one). Never waits for the network or the
    // disk.
    GameTicket Take();
    // Fetches a ticket unless one is held or being fetched.
    void Refill();
    // True once the thread has nothing left to do, waiting until deadline at
    // most: for tests and a tidy end.
    bool WaitIdle(std::chrono::steady_clock::time_point deadline);

private:
    void Run();
    void Fetch();
    // Seconds until the ticket is too old to hand over, by the server's clock.
    std::int64_t SecondsLeft(const GameTicket& ticket, std::int64_t now) const;
    bool Usable(const GameTicket& ticket, std::int64_t now) const;
    std::int64_t Now() const;
    void Log(const std::string& line) const;

    TicketSettings settings_;
    std::optional<std::string> folder_;
    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::optional<GameTicket> held_;
    std::optional<GameTicket> lastTaken_;
    std::chrono::steady_clock::time_point lastTakenAt_;
    std::deque<GameTicket> starts_;  // tickets whose game began, for start.php
    bool wanted_ = true;             // fetch one when none is held
    bool busy_ = false;
    bool stop_ = false;
    std::atomic<bool> giveUp_ = false;  // set once stop_ is: the request under way ends at once
    std::string lastFailure_;           // of the last fetch; empty when it brought a ticket
    std::int64_t serverAhead_ = 0;      // the server's clock minus ours, seconds, as last seen
    std::thread thread_;
};
