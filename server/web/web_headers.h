// HTTP headers for the highscore page, its JSON twin and the stylesheet:
// the fixed header set of each, entity tags for conditional requests, and the
// one parser of the untrusted If-None-Match header.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "server/web/page_query.h"

enum class WebContent { page, json, style };

struct WebHeader {
    std::string_view name;
    std::string_view value;  // static storage
};

// Content-Type, Cache-Control, a strict Content-Security-Policy (nothing runs,
// styles and images only from this server, forms only to it, no framing),
// X-Content-Type-Options and Referrer-Policy; the JSON twin may also be read
// by scripts of other sites. ETag comes from WebEtag or StyleEtag.
std::vector<WebHeader> WebHeaders(WebContent content);

// A strong entity tag, quotes included, for one view of the data.
// changeStamp: the store's stamp (ScoreStore::ReadChangeStamp), which differs
// whenever the stored rows differ, across server restarts too; any bytes, as
// only its hash enters the tag. The same stamp and query give the same tag,
// and the kind, the query (page, name) and whether the page links to the
// browser game are part of it.
std::string WebEtag(std::string_view changeStamp, WebContent content, const PageQuery& query,
                    bool playLinks = false);

// The entity tag of StyleSheet(): changes with its text.
std::string StyleEtag();

// A strong entity tag, quotes included, for fixed bytes: kind (plain
// letters) then a hash of body, so it changes with them.
std::string BodyEtag(std::string_view kind, std::string_view body);

// True when the If-None-Match header value names etag, by the weak comparison
// that header calls for ("W/" ignored), or is "*". A malformed, over-long
// (above 8 KiB) or empty header matches nothing, so the full reply goes out.
bool EtagMatches(std::string_view ifNoneMatch, std::string_view etag);
