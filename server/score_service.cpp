#include "server/score_service.h"

ScoreReply ScoreService::Handle(std::string_view target, std::string_view client,
                                RateLimiter::Clock::time_point now, std::int64_t unixTime) {
    const std::size_t question = target.find('?');
    const std::string_view path = target.substr(0, question);
    const bool hasQuery = question != std::string_view::npos;
    const std::string_view query = hasQuery ? target.substr(question + 1) : std::string_view();

    if (path == viewPath) {
        ScoreReply reply{200, {}, {}};
        std::string error;
        if (!store.TableText(reply.body, error)) return {500, "storage error\n", error};
        return reply;
    }
    if (path != addPath) return {404, "not found\n", {}};

    // Every attempt counts, valid or not, so the limit also slows down
    // anyone probing the validation.
    if (!limiter.Allow(client, now)) return {429, "too many submissions, try again later\n", {}};
    if (!hasQuery) return {400, "missing query\n", {}};
    const SubmissionResult parsed = ParseSubmission(query);
    if (!parsed.submission) return {400, std::string(parsed.error) + "\n", {}};
    std::string error;
    if (!store.Add(*parsed.submission, unixTime, client, error)) return {500, "storage error\n", error};
    return {200, "OK\n", {}};
}
