#include "app/exchange_runner.h"

#include <utility>

ExchangeRunner::ExchangeRunner(ScoreClientSettings settings) : client_(std::move(settings)) {}

ExchangeRunner::~ExchangeRunner() { Abandon(); }

void ExchangeRunner::Start(const ScoreExchangeRequest& request, std::string replay) {
    if (busy_) return;
    if (thread_.joinable()) thread_.join();
    busy_ = true;
    stop_ = false;
    result_.reset();
    thread_ = std::thread([this, submission = request.submission, replay = std::move(replay)] {
        ScoreExchangeResult result = client_.Exchange(submission ? &*submission : nullptr, replay, &stop_);
        std::lock_guard guard(mutex_);
        result_ = std::move(result);
    });
}

std::optional<ScoreExchangeResult> ExchangeRunner::TakeResult() {
    std::optional<ScoreExchangeResult> result;
    {
        std::lock_guard guard(mutex_);
        result.swap(result_);
    }
    if (!result) return std::nullopt;
    thread_.join();
    busy_ = false;
    return result;
}

void ExchangeRunner::Abandon() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    result_.reset();
    busy_ = false;
}
