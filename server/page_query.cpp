#include "server/page_query.h"

#include <charconv>

#include "server/web_text.h"

namespace {

// Every byte of a page number may arrive escaped ("%31" for "1").
constexpr std::size_t maxRawPageLength = 3 * 7;
constexpr std::size_t maxRawNameLength = 3 * maxSearchNameLength;

constexpr std::string_view badPage = "page must be a whole number from 1 to 1000000";

bool ParsePage(std::string_view raw, std::int32_t& page) {
    std::string decoded;
    if (raw.size() > maxRawPageLength || !FormDecode(raw, decoded)) return false;
    const char* end = decoded.data() + decoded.size();
    if (decoded.empty() || decoded[0] < '0' || decoded[0] > '9') return false;  // no sign, no blank
    const auto [ptr, ec] = std::from_chars(decoded.data(), end, page);
    return ec == std::errc() && ptr == end && page >= 1 && page <= maxWebPage;
}

}  // namespace

PageQueryResult ParsePageQuery(std::string_view rawQuery) {
    if (rawQuery.size() > maxWebQueryLength) return {std::nullopt, "query too long"};
    std::optional<std::string_view> rawPage;
    std::optional<std::string_view> rawName;
    while (!rawQuery.empty()) {
        const std::size_t amp = rawQuery.find('&');
        const std::string_view pair = rawQuery.substr(0, amp);
        rawQuery.remove_prefix(amp == std::string_view::npos ? rawQuery.size() : amp + 1);
        const std::size_t eq = pair.find('=');
        const std::string_view key = pair.substr(0, eq);
        const std::string_view value =
            eq == std::string_view::npos ? std::string_view{} : pair.substr(eq + 1);
        if (key == "page") {
            if (rawPage) return {std::nullopt, "page given twice"};
            rawPage = value;
        } else if (key == "name") {
            if (rawName) return {std::nullopt, "name given twice"};
            rawName = value;
        }
    }

    PageQuery query;
    if (rawPage && !ParsePage(*rawPage, query.page)) return {std::nullopt, badPage};
    if (rawName) {
        if (rawName->size() > maxRawNameLength) return {std::nullopt, "name longer than 64 bytes"};
        if (!FormDecode(*rawName, query.name)) return {std::nullopt, "bad percent-escape in name"};
        if (query.name.size() > maxSearchNameLength) return {std::nullopt, "name longer than 64 bytes"};
    }
    return {std::move(query), {}};
}

std::string PageLink(const PageQuery& query) {
    std::string link = "?";
    if (!query.name.empty()) {
        link += "name=";
        AppendPercentEncoded(link, query.name);
        link += '&';
    }
    link += "page=";
    link += std::to_string(query.page);
    return link;
}
