#include "server/web/web_headers.h"

#include "server/web/web_style.h"

namespace {

constexpr std::size_t maxIfNoneMatchLength = 8192;

// Raised whenever the rendering changes, so a browser holding a page of an
// older server build does not keep it after an upgrade.
constexpr char renderRevision = '2';

constexpr std::string_view contentSecurityPolicy =
    "default-src 'none'; style-src 'self'; img-src 'self'; base-uri 'none'; form-action 'self'; "
    "frame-ancestors 'none'";

struct Fnv1a {
    std::uint64_t hash = 0xcbf29ce484222325;
    void Add(std::string_view bytes) {
        for (const char c : bytes) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 0x100000001b3;
        }
    }
};

void AppendHex(std::string& out, std::uint64_t value) {
    constexpr char digits[] = "0123456789abcdef";
    char text[16];
    int length = 0;
    do {
        text[length++] = digits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    while (length > 0) out += text[--length];
}

std::string_view OpaqueTag(std::string_view tag) {
    if (tag.substr(0, 2) == "W/") tag.remove_prefix(2);
    return tag;
}

}  // namespace

std::vector<WebHeader> WebHeaders(WebContent content) {
    std::vector<WebHeader> headers;
    switch (content) {
        case WebContent::page:
            headers.push_back({"Content-Type", "text/html; charset=utf-8"});
            headers.push_back({"Cache-Control", "public, max-age=10"});
            break;
        case WebContent::json:
            headers.push_back({"Content-Type", "application/json"});
            headers.push_back({"Cache-Control", "public, max-age=10"});
            headers.push_back({"Access-Control-Allow-Origin", "*"});
            break;
        case WebContent::style:
            headers.push_back({"Content-Type", "text/css; charset=utf-8"});
            headers.push_back({"Cache-Control", "public, max-age=3600"});
            break;
    }
    headers.push_back({"Content-Security-Policy", contentSecurityPolicy});
    headers.push_back({"X-Content-Type-Options", "nosniff"});
    headers.push_back({"Referrer-Policy", "no-referrer"});
    return headers;
}

std::string WebEtag(std::string_view changeStamp, WebContent content, const PageQuery& query,
                    bool playLinks) {
    Fnv1a stampHash;
    stampHash.Add(changeStamp);
    Fnv1a queryHash;
    const char kind[] = {renderRevision, static_cast<char>('0' + static_cast<int>(content))};
    queryHash.Add({kind, sizeof kind});
    queryHash.Add(std::to_string(query.page));
    queryHash.Add({"\0", 1});
    queryHash.Add(query.name);
    // A board's period is part of the view: today's page is another page tomorrow.
    queryHash.Add({"\0", 1});
    queryHash.Add(std::to_string(static_cast<int>(query.board)) + ":" + std::to_string(query.periodStart));
    // A server restarted with or without the game serves another page.
    if (playLinks) queryHash.Add({"\0play", 5});
    std::string tag = "\"";
    AppendHex(tag, stampHash.hash);
    tag += '-';
    AppendHex(tag, queryHash.hash);
    tag += '"';
    return tag;
}

std::string StyleEtag() { return BodyEtag("css", StyleSheet()); }

std::string BodyEtag(std::string_view kind, std::string_view body) {
    Fnv1a bodyHash;
    bodyHash.Add(body);
    std::string tag = "\"";
    tag += kind;
    tag += '-';
    AppendHex(tag, bodyHash.hash);
    tag += '"';
    return tag;
}

bool EtagMatches(std::string_view ifNoneMatch, std::string_view etag) {
    if (ifNoneMatch.size() > maxIfNoneMatchLength) return false;
    const std::string_view wanted = OpaqueTag(etag);
    const auto isSeparator = [](char c) { return c == ' ' || c == '\t' || c == ','; };
    const std::size_t first = ifNoneMatch.find_first_not_of(" \t");
    const std::size_t last = ifNoneMatch.find_last_not_of(" \t");
    if (first != std::string_view::npos && ifNoneMatch.substr(first, last + 1 - first) == "*") return true;
    std::size_t at = 0;
    while (true) {
        while (at < ifNoneMatch.size() && isSeparator(ifNoneMatch[at])) ++at;
        if (at == ifNoneMatch.size()) return false;
        if (ifNoneMatch.compare(at, 2, "W/") == 0) at += 2;
        if (at == ifNoneMatch.size() || ifNoneMatch[at] != '"') return false;
        const std::size_t close = ifNoneMatch.find('"', at + 1);
        if (close == std::string_view::npos) return false;
        if (ifNoneMatch.substr(at, close + 1 - at) == wanted) return true;
        at = close + 1;
    }
}
