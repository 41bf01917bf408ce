#include "server/score_service.h"

#include <optional>

namespace {

ScoreDecision Reply(int status, std::string body, bool close = false) {
    return {ScoreDecision::Kind::reply, {status, std::move(body), close}, {}, {}};
}

std::optional<WebContent> WebRoute(std::string_view path) {
    if (path.starts_with(gameFolder) && path.substr(gameFolder.size()).starts_with('/'))
        path.remove_prefix(gameFolder.size());
    if (path == "/") return WebContent::page;
    if (path == "/api/scores") return WebContent::json;
    if (path == "/style.css") return WebContent::style;
    return std::nullopt;
}

ScoreDecision WebDecision(WebContent content, std::string_view query) {
    ScoreDecision decision{ScoreDecision::Kind::web, {}, {}, {content, {}, {}}};
    if (content == WebContent::style) return decision;  // one stylesheet, whatever the query
    PageQueryResult parsed = ParsePageQuery(query);
    if (parsed.query) {
        decision.web.query = std::move(*parsed.query);
    } else {
        decision.web.error = parsed.error;
    }
    return decision;
}

}  // namespace

ScoreDecision ScoreService::Handle(const RequestFacts& request, std::string_view client,
                                   RateLimiter::Clock::time_point now, std::int64_t unixTime) {
    if (request.headerBytes > maxRequestBytes) return Reply(431, "request too large\n", true);
    // HTTP/1.1 requires Host; a client that leaves it out is not a browser,
    // not the game (libcurl sends it) and not a proxy worth trusting.
    if (request.version != "HTTP/1.0" && !request.hasHost) return Reply(400, "missing Host header\n", true);
    // Other methods are not served, and HEAD only for the web page: it must
    // never store a row, and view.php answers it as it always has.
    const bool head = request.method == "HEAD";
    if (request.method != "GET" && !head) return Reply(404, "not found\n");

    const std::string_view target = request.target;
    const std::size_t question = target.find('?');
    const std::string_view path = target.substr(0, question);
    const bool hasQuery = question != std::string_view::npos;
    const std::string_view query = hasQuery ? target.substr(question + 1) : std::string_view();

    if (const std::optional<WebContent> content = WebRoute(path)) return WebDecision(*content, query);
    if (head) return Reply(404, "not found\n");
    if (path == viewPath) return {ScoreDecision::Kind::table, {}, {}, {}};
    if (path != addPath) return Reply(404, "not found\n");

    // Every attempt counts, valid or not, so the limit also slows down
    // anyone probing the validation.
    if (!limiter.Allow(client, now)) return Reply(429, "too many submissions, try again later\n");
    if (!hasQuery) return Reply(400, "missing query\n");
    SubmissionResult parsed = ParseSubmission(query);
    if (!parsed.submission) return Reply(400, std::string(parsed.error) + "\n");
    return {
        ScoreDecision::Kind::store, {}, {std::move(*parsed.submission), unixTime, std::string(client)}, {}};
}

ScoreReply StoredReply(bool stored) {
    // Storage that fails is most often away for a while (a database restarting):
    // 503 tells the game to keep the score and send it again later.
    return stored ? ScoreReply{200, "OK\n", false}
                  : ScoreReply{503, "storage unavailable, try again later\n", false};
}
