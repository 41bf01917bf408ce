#include "server/client_address.h"

namespace {

constexpr std::size_t maxAddressLength = 47;  // "[" IPv6 "]" with room for a port

bool LooksLikeAddress(std::string_view text) {
    if (text.empty() || text.size() > maxAddressLength) return false;
    for (const char c : text) {
        const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') ||
                        c == '.' || c == ':' || c == '[' || c == ']';
        if (!ok) return false;
    }
    return true;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

std::string ChooseClientAddress(std::string_view peer, std::string_view forwardedFor, bool trustProxy) {
    if (!trustProxy || forwardedFor.empty()) return std::string(peer);
    const std::size_t comma = forwardedFor.rfind(',');
    const std::string_view last =
        Trim(comma == std::string_view::npos ? forwardedFor : forwardedFor.substr(comma + 1));
    return LooksLikeAddress(last) ? std::string(last) : std::string(peer);
}
