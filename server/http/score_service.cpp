#include "server/http/score_service.h"

#include <array>
#include <charconv>
#include <optional>

#include "server/store/replay_admission.h"
#include "server/web/web_page.h"

namespace {

ScoreDecision Reply(int status, std::string body, bool close = false) {
    return {ScoreDecision::Kind::reply, {status, std::move(body), close}, {}, {}};
}

// "id=N", N a replay's id: 1 to 18 digits, so it always fits.
ScoreDecision DownloadDecision(std::string_view query) {
    constexpr std::string_view key = "id=";
    std::int64_t id = 0;
    const std::string_view digits = query.starts_with(key) ? query.substr(key.size()) : std::string_view();
    const bool plain = !digits.empty() && digits.size() <= 18 &&
                       digits.find_first_not_of("0123456789") == std::string_view::npos;
    if (plain) std::from_chars(digits.data(), digits.data() + digits.size(), id);
    if (id <= 0) return Reply(400, "bad replay id\n");
    ScoreDecision decision{ScoreDecision::Kind::download, {}, {}, {}};
    decision.replayId = id;
    return decision;
}

// "ticket=ID&mac=MAC", ID a ticket's decimal id, MAC its 64 hex digits.
ScoreDecision StartDecision(std::string_view query, const TicketMint& mint, std::int64_t unixTime) {
    constexpr std::string_view idKey = "ticket=", macKey = "&mac=";
    const std::size_t macAt = query.find(macKey);
    std::uint64_t id = 0;
    std::array<std::uint8_t, 32> mac{};
    const std::string_view digits = query.starts_with(idKey) && macAt != std::string_view::npos
                                        ? query.substr(idKey.size(), macAt - idKey.size())
                                        : std::string_view();
    const bool plain = !digits.empty() && digits.size() <= 20 &&
                       digits.find_first_not_of("0123456789") == std::string_view::npos &&
                       std::from_chars(digits.data(), digits.data() + digits.size(), id).ec == std::errc() &&
                       KeyFromHex(query.substr(macAt + macKey.size()), mac);
    if (!plain) return Reply(400, "bad ticket: expected ticket=ID&mac=MAC\n");
    const TicketFault fault = mint.Check(id, mac, unixTime);
    if (fault != TicketFault::none)
        return Reply(fault == TicketFault::expired ? 410 : 403, std::string(TicketFaultText(fault)) + "\n");
    ScoreDecision decision{ScoreDecision::Kind::start, {}, {}, {}};
    decision.ticketId = id;
    return decision;
}

// Every path the server answers, the methods it takes there and what it
// is. HEAD only for the web page: it must never store a row, and view.php
// answers it as it always has. POST carries a replay, to replay.php alone.
enum Method : unsigned { get = 1, head = 2, post = 4 };
using Route = ServedRoute;
struct RouteEntry {
    std::string_view path;
    unsigned methods;
    Route route;
    bool alsoInGameFolder;  // served under gameFolder as well, for proxies that forward only that
};
constexpr std::array<RouteEntry, 8> routes{{
    {"/", get | head, Route::page, true},
    {"/api/scores", get | head, Route::json, true},
    {"/style.css", get | head, Route::style, true},
    {viewPath, get, Route::table, false},
    {replayPath, get | post, Route::replay, false},
    {ticketPath, get, Route::ticket, false},
    {startPath, get, Route::start, false},
    {addPath, get, Route::add, false},
}};

const RouteEntry* EntryOf(std::string_view path) {
    const bool inFolder = path.starts_with(gameFolder) && path.substr(gameFolder.size()).starts_with('/');
    const std::string_view inner = inFolder ? path.substr(gameFolder.size()) : std::string_view();
    for (const RouteEntry& entry : routes) {
        if (entry.path == path || (entry.alsoInGameFolder && inFolder && entry.path == inner)) return &entry;
    }
    return nullptr;
}

unsigned MethodOf(std::string_view method) {
    if (method == "GET") return get;
    if (method == "HEAD") return head;
    if (method == "POST") return post;
    return 0;
}

// What follows "/play" in target, query included, when its path is the
// browser game's folder or below it, at either root.
std::optional<std::string_view> PlayRestOf(std::string_view target) {
    if (target.starts_with(gameFolder) && target.substr(gameFolder.size()).starts_with(playFolder))
        target.remove_prefix(gameFolder.size());
    if (!target.starts_with(playFolder)) return std::nullopt;
    const std::string_view rest = target.substr(playFolder.size());
    if (!rest.empty() && rest.front() != '/' && rest.front() != '?') return std::nullopt;
    return rest;
}

// unixTime: a board of this week or today is the one holding this moment.
ScoreDecision WebDecision(WebContent content, std::string_view query, std::int64_t unixTime, bool playLinks) {
    ScoreDecision decision{ScoreDecision::Kind::web, {}, {}, {content, {}, {}}};
    decision.web.playLinks = playLinks;
    if (content == WebContent::style) return decision;  // one stylesheet, whatever the query
    PageQueryResult parsed = ParsePageQuery(query);
    if (parsed.query) {
        decision.web.query = std::move(*parsed.query);
        decision.web.unixTime = unixTime;
        ResolveBoard(decision.web.query, unixTime);
    } else {
        decision.web.error = parsed.error;
    }
    return decision;
}

}  // namespace

std::optional<ServedRoute> RouteOfPath(std::string_view path) {
    const RouteEntry* entry = EntryOf(path);
    return entry ? std::optional(entry->route) : std::nullopt;
}

ScoreDecision ScoreService::Handle(const RequestFacts& request, std::string_view client,
                                   RateLimiter::Clock::time_point now, std::int64_t unixTime) {
    if (request.headerBytes > maxRequestBytes) return Reply(431, "request too large\n", true);
    // HTTP/1.1 requires Host; a client that leaves it out is not a browser,
    // not the game (libcurl sends it) and not a proxy worth trusting.
    if (request.version != "HTTP/1.0" && !request.hasHost) return Reply(400, "missing Host header\n", true);
    const unsigned method = MethodOf(request.method);
    const std::string_view target = request.target;
    const std::size_t question = target.find('?');
    const std::string_view path = target.substr(0, question);
    const bool hasQuery = question != std::string_view::npos;
    const std::string_view query = hasQuery ? target.substr(question + 1) : std::string_view();

    if (const std::optional<std::string_view> rest = PlayRestOf(target)) {
        if (method != Method::get && method != Method::head) return Reply(404, "not found\n");
        ScoreDecision decision{ScoreDecision::Kind::play, {}, {}, {}};
        decision.playRest = *rest;
        return decision;
    }
    const RouteEntry* route = EntryOf(path);
    if (!route || (route->methods & method) == 0) return Reply(404, "not found\n");
    const bool post = method == Method::post;
    switch (route->route) {
        case Route::page:
            return WebDecision(WebContent::page, query, unixTime, playLinks);
        case Route::json:
            return WebDecision(WebContent::json, query, unixTime, playLinks);
        case Route::style:
            return WebDecision(WebContent::style, query, unixTime, playLinks);
        case Route::table:
            return {ScoreDecision::Kind::table, {}, {}, {}};
        case Route::replay:
            if (!post) return DownloadDecision(query);
            break;  // a submission with its replay in the body
        case Route::ticket:
        case Route::start:
            if (!ticketLimiter || !mint) return Reply(503, "no tickets here, try again later\n");
            if (!ticketLimiter->Allow(client, now)) return Reply(429, "too many tickets, try again later\n");
            if (route->route == Route::start) return StartDecision(query, *mint, unixTime);
            return Reply(200, FormatTicket(mint->Issue(unixTime)) + "\n");
        case Route::add:
            break;
    }

    // Every attempt counts, valid or not, so the limit also slows down
    // anyone probing the validation.
    if (!limiter.Allow(client, now)) return Reply(429, "too many submissions, try again later\n");
    if (!hasQuery) return Reply(400, "missing query\n");
    SubmissionResult parsed = ParseSubmission(query);
    if (!parsed.submission) return Reply(400, std::string(parsed.error) + "\n");
    if (screen) {
        if (std::optional<Refusal> refused = screen->Refuse(parsed.submission->name, client, unixTime))
            return Reply(refused->status, std::move(refused->body));
    }
    return {post ? ScoreDecision::Kind::replay : ScoreDecision::Kind::store,
            {},
            {std::move(*parsed.submission), unixTime, std::string(client)},
            {}};
}

ScoreReply StoredReply(bool stored) {
    // Storage that fails is most often away for a while (a database restarting):
    // 503 tells the game to keep the score and send it again later.
    return stored ? ScoreReply{200, "OK\n", false}
                  : ScoreReply{503, "storage unavailable, try again later\n", false};
}

ScoreReply UnstoredReplayReply(const ReplayCheck& check, bool stopping) {
    if (stopping) return {503, "server is shutting down\n", true};
    switch (check.verdict) {
        case ReplayVerdict::Refused:
            return {400, "replay refused: " + check.reason + "\n", false};
        case ReplayVerdict::Stopped:
            // Only the CPU bound stops a run while the server keeps going: a
            // game this long is refused, not to be sent again and again.
            return {400,
                    "replay refused: it takes more CPU time to play again than this server allows (" +
                        check.reason + ")\n",
                    false};
        case ReplayVerdict::NotRun:
        case ReplayVerdict::Proven:
        case ReplayVerdict::Unproven:
            break;
    }
    return {503, "replay verifier unavailable, try again later\n", false};
}

ScoreReply StoredReplayReply(bool stored, const StoredReplay& replay) {
    if (!stored) return StoredReply(false);
    if (replay.placement == StoredReplay::Placement::ticketUsed)
        return {409, std::string(ticketUsedReason) + "\n", false};
    return {200, replay.verified ? "VERIFIED\n" : "ATTACHED\n", false};
}
