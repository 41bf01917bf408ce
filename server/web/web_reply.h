// The answers of the highscore page, its JSON twin and the stylesheet, apart
// from any socket: conditional requests, the store's rows rendered, and the
// replies to a refused query or to storage that cannot be read.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/store/score_store.h"
#include "server/web/page_query.h"
#include "server/web/web_headers.h"

// A request for the page, the JSON twin or the stylesheet, as routed.
struct WebRequest {
    WebContent content = WebContent::page;
    PageQuery query;            // the view asked for; meaningful when error is empty
    std::string_view error;     // why the query was refused (static storage); empty: it is valid
    std::int64_t unixTime = 0;  // when it arrived, seconds since 1970 UTC: which week and day are current
    bool playLinks = false;     // the page links to the browser game (play_files.h)
};

struct WebReply {
    int status = 200;                // 200, 304, 400 or 503
    std::vector<WebHeader> headers;  // WebHeaders of the kind; errors are never cached
    std::string etag;                // empty: none
    std::string body;                // empty for 304
};

// The answer when the rows need not be read: the stylesheet, a refused query,
// or a conditional request whose tag is current. ifNoneMatch: the header's
// value, empty when absent. changeStamp: the store's stamp as last read;
// empty when unknown, and then no page is ever called current. Nothing when
// the rows must be read.
std::optional<WebReply> AnswerWithoutStore(const WebRequest& request, std::string_view changeStamp,
                                           std::string_view ifNoneMatch);

// Reads the page or JSON twin asked for and renders it, tagged from
// changeStamp (no tag when it is empty). The stamp must have been read before
// the rows, so that a tag never claims rows newer than those it was sent
// with. When the store cannot be read: 503, and the store's message in error
// for the log (the reader gets only a short reason).
WebReply AnswerFromStore(const WebRequest& request, std::string_view changeStamp, ScoreStore& store,
                         std::string& error);

// Replay `id` as a file to save: 404 when there is none; when the store
// cannot be read, 503, and the store's message in error for the log.
WebReply ReplayDownloadFromStore(std::int64_t id, ScoreStore& store, std::string& error);

// 503 for the page or the JSON twin; reason: a short plain-text sentence.
WebReply UnavailableReply(WebContent content, std::string_view reason);
