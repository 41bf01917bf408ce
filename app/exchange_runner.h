// The score exchange at the end of a game, on a thread of its own: the
// window goes on presenting and answering while the server takes its time,
// and a player who quits meanwhile does not wait for it.
#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "game/score_exchange.h"
#include "scores/score_exchange_client.h"

class ExchangeRunner {
public:
    explicit ExchangeRunner(ScoreClientSettings settings);
    // Abandons an exchange under way.
    ~ExchangeRunner();
    ExchangeRunner(const ExchangeRunner&) = delete;
    ExchangeRunner& operator=(const ExchangeRunner&) = delete;

    // Starts the exchange the rules asked for, with the finished game's
    // replay (empty for none). Only while none is Busy.
    void Start(const ScoreExchangeRequest& request, std::string replay);
    // From Start until the result is taken.
    bool Busy() const { return busy_; }
    // The exchange's result once it is over, and the runner is free again;
    // nullopt while it runs or when none was started.
    std::optional<ScoreExchangeResult> TakeResult();
    // Gives up the exchange under way: its request in flight ends within
    // StopCheckInterval, what was not surely sent is kept in the outbox, and
    // nothing more is sent. Returns once the thread is done; its result is
    // dropped.
    void Abandon();

private:
    ScoreExchangeClient client_;
    std::atomic<bool> stop_ = false;
    bool busy_ = false;
    std::mutex mutex_;
    std::optional<ScoreExchangeResult> result_;  // set by the thread as it ends
    std::thread thread_;
};
