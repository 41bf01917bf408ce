#include "scores/score_host.h"

#include <cstdio>
#include <utility>

#include "common/read_number.h"

namespace {

std::string& currentHost() {
    // Built on first use, so a request made during static initialisation
    // still finds the default.
    static std::string host = MUNCHET_SCORE_SERVER;
    return host;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(c) || c == '.' || c == '-' || c == '_';
}

bool isAddressCharacter(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' || c == '.';
}

// Empty (no port given) or ":" and a port from 1 to 65535.
bool isValidPortSuffix(std::string_view suffix) {
    if (suffix.empty()) return true;
    if (suffix.front() != ':') return false;
    const std::optional<std::uint32_t> port = ReadDecimal(suffix.substr(1), 65535);
    return port && *port >= 1;
}

constexpr std::string_view httpsScheme = "https://";

bool startsWithHttps(std::string_view host) {
    if (host.size() < httpsScheme.size()) return false;
    for (std::size_t i = 0; i < httpsScheme.size(); ++i) {
        const char c = host[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != httpsScheme[i]) return false;
    }
    return true;
}

}  // namespace

bool IsHttpsScoreServer(std::string_view host) { return startsWithHttps(host); }

std::string ScoreServerOrigin(std::string_view host) {
    if (startsWithHttps(host)) return std::string(httpsScheme) + std::string(host.substr(httpsScheme.size()));
    return "http://" + std::string(host);
}

const std::string& ScoreServerHost() { return currentHost(); }

bool IsValidScoreServerHost(std::string_view host) {
    if (startsWithHttps(host)) host.remove_prefix(httpsScheme.size());
    if (host.empty()) return false;
    if (host.front() == '[') {
        const std::size_t close = host.find(']');
        if (close == std::string_view::npos || close < 3) return false;
        for (char c : host.substr(1, close - 1))
            if (!isAddressCharacter(c)) return false;
        return isValidPortSuffix(host.substr(close + 1));
    }
    const std::size_t colon = host.find(':');
    const std::string_view name = host.substr(0, colon);
    if (name.empty() || name.size() > 253) return false;
    for (char c : name)
        if (!isNameCharacter(c)) return false;
    return isValidPortSuffix(colon == std::string_view::npos ? std::string_view{} : host.substr(colon));
}

bool SetScoreServerHost(std::string host) {
    if (!IsValidScoreServerHost(host)) {
        // Printed without the text itself when it holds control characters,
        // so a hostile command line cannot drive the terminal.
        bool printable = true;
        for (char c : host)
            if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) printable = false;
        if (printable)
            std::fprintf(stderr, "munchet: ignoring invalid score server \"%s\"; using %s\n", host.c_str(),
                         currentHost().c_str());
        else
            std::fprintf(stderr, "munchet: ignoring invalid score server; using %s\n", currentHost().c_str());
        return false;
    }
    currentHost() = std::move(host);
    return true;
}
