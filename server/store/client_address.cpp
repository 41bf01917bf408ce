#include "server/store/client_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstring>

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

std::string FormatIpv6(const in6_addr& address) {
    if (IN6_IS_ADDR_V4MAPPED(&address)) {
        in_addr v4{};
        std::memcpy(&v4, address.s6_addr + 12, sizeof v4);
        char text[INET_ADDRSTRLEN];
        return inet_ntop(AF_INET, &v4, text, sizeof text) ? text : "";
    }
    char text[INET6_ADDRSTRLEN];
    return inet_ntop(AF_INET6, &address, text, sizeof text) ? text : "";
}

// inet_pton wants a terminated string; anything longer than the longest
// IPv6 text is no address anyway: false.
bool Terminated(std::string_view text, char (&terminated)[INET6_ADDRSTRLEN]) {
    if (text.empty() || text.size() >= sizeof terminated) return false;
    text.copy(terminated, text.size());
    terminated[text.size()] = '\0';
    return true;
}

std::string FormatIpv4(const in_addr& address) {
    char text[INET_ADDRSTRLEN];
    return inet_ntop(AF_INET, &address, text, sizeof text) ? text : "";
}

}  // namespace

std::string FormatPeerAddress(const sockaddr* address) {
    if (!address) return {};
    if (address->sa_family == AF_INET)
        return FormatIpv4(reinterpret_cast<const sockaddr_in*>(address)->sin_addr);
    if (address->sa_family == AF_INET6)
        return FormatIpv6(reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr);
    return {};
}

std::string CanonicalAddress(std::string_view text) {
    text = Trim(text);
    char terminated[INET6_ADDRSTRLEN];
    if (!Terminated(text, terminated)) return {};
    in_addr v4{};
    if (inet_pton(AF_INET, terminated, &v4) == 1) return FormatIpv4(v4);
    in6_addr v6{};
    if (inet_pton(AF_INET6, terminated, &v6) == 1) return FormatIpv6(v6);
    return {};
}

std::string ChooseClientAddress(std::string_view peer, std::string_view forwardedFor, bool trustProxy) {
    if (!trustProxy || forwardedFor.empty()) return std::string(peer);
    const std::size_t comma = forwardedFor.rfind(',');
    std::string last =
        CanonicalAddress(comma == std::string_view::npos ? forwardedFor : forwardedFor.substr(comma + 1));
    return last.empty() ? std::string(peer) : last;
}

std::string LimitKey(std::string_view address) {
    char terminated[INET6_ADDRSTRLEN];
    in6_addr v6{};
    if (!Terminated(address, terminated) || inet_pton(AF_INET6, terminated, &v6) != 1 ||
        IN6_IS_ADDR_V4MAPPED(&v6))
        return std::string(address);
    std::memset(v6.s6_addr + 8, 0, 8);
    return FormatIpv6(v6) + "/64";
}
