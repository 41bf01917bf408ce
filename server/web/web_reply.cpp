#include "server/web/web_reply.h"

#include "server/web/score_json.h"
#include "server/web/web_page.h"
#include "server/web/web_style.h"

namespace {

WebReply Reply(int status, WebContent content, std::string body) {
    WebReply reply{status, WebHeaders(content), {}, std::move(body)};
    if (status >= 400) {
        // A refusal or an outage is not worth keeping: the next try may succeed.
        for (WebHeader& header : reply.headers)
            if (header.name == "Cache-Control") header.value = "no-store";
    }
    return reply;
}

WebReply Failure(int status, WebContent content, std::string_view heading, std::string_view reason) {
    if (content == WebContent::json) return Reply(status, content, RenderJsonError(reason));
    return Reply(status, WebContent::page, RenderMessagePage(heading, reason));
}

const std::string& StyleTag() {
    static const std::string tag = StyleEtag();
    return tag;
}

}  // namespace

std::optional<WebReply> AnswerWithoutStore(const WebRequest& request, std::string_view changeStamp,
                                           std::string_view ifNoneMatch) {
    if (request.content == WebContent::style) {
        const bool current = !ifNoneMatch.empty() && EtagMatches(ifNoneMatch, StyleTag());
        WebReply reply = Reply(current ? 304 : 200, WebContent::style,
                               current ? std::string() : std::string(StyleSheet()));
        reply.etag = StyleTag();
        return reply;
    }
    if (!request.error.empty()) return Failure(400, request.content, "Bad request", request.error);
    if (changeStamp.empty() || ifNoneMatch.empty()) return std::nullopt;
    std::string tag = WebEtag(changeStamp, request.content, request.query, request.playLinks);
    if (!EtagMatches(ifNoneMatch, tag)) return std::nullopt;
    WebReply reply = Reply(304, request.content, {});
    reply.etag = std::move(tag);
    return reply;
}

WebReply AnswerFromStore(const WebRequest& request, std::string_view changeStamp, ScoreStore& store,
                         std::string& error) {
    const PageQuery& query = request.query;
    const BoardRange range = RangeOf(query);
    const RankedQuery ranked{query.name, std::int64_t{query.page - 1} * webPageSize, webPageSize, range.since,
                             range.until};
    RankedPage read;
    if (!store.ReadRanked(ranked, read, error))
        return UnavailableReply(request.content,
                                "The scores cannot be read right now. Try again in a minute.");
    const bool current = query.board != Board::all &&
                         query.periodStart == (query.board == Board::week ? WeekStart(request.unixTime)
                                                                          : DayStart(request.unixTime));
    const ScorePage page{query, read.total, std::move(read.rows), current, request.playLinks};
    WebReply reply =
        Reply(200, request.content,
              request.content == WebContent::json ? RenderScoreJson(page) : RenderScorePage(page));
    if (!changeStamp.empty()) reply.etag = WebEtag(changeStamp, request.content, query, request.playLinks);
    return reply;
}

WebReply ReplayDownloadFromStore(std::int64_t id, ScoreStore& store, std::string& error) {
    std::optional<std::string> bytes;
    WebReply reply;
    if (!store.ReadReplay(id, bytes, error)) {
        if (error.empty()) error = "the store gave no reason";
        reply = {503, {{"Content-Type", "text/plain"}}, {}, "storage unavailable, try again later\n"};
    } else if (!bytes) {
        reply = {404, {{"Content-Type", "text/plain"}}, {}, "no such replay\n"};
    } else {
        reply = {200,
                 {{"Content-Type", "application/octet-stream"},
                  {"Content-Disposition", "attachment; filename=\"munchet.replay\""},
                  // The browser game fetches it from a cross-origin isolated
                  // page; no other site need read it.
                  {"Cross-Origin-Resource-Policy", "same-origin"}},
                 {},
                 std::move(*bytes)};
    }
    reply.headers.push_back({"Cache-Control", "no-store"});
    reply.headers.push_back({"X-Content-Type-Options", "nosniff"});
    return reply;
}

WebReply UnavailableReply(WebContent content, std::string_view reason) {
    return Failure(503, content, "Scores unavailable", reason);
}
