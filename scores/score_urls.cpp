// The score server's addresses, the same whatever carries the requests.
#include <string_view>

#include "scores/score_host.h"
#include "scores/score_request.h"

std::string RequestOutcome::failure() const {
    if (complete) return "HTTP status " + std::to_string(status);
    return error;
}

namespace {

// Every byte but the unreserved ones (letters, digits, "-._~") as %XX:
// what the server decodes, on any platform, with or without libcurl.
std::string PercentEscaped(std::string_view text) {
    constexpr char hexDigits[] = "0123456789ABCDEF";
    std::string escaped;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            escaped.push_back(c);
            continue;
        }
        escaped.push_back('%');
        escaped.push_back(hexDigits[byte >> 4]);
        escaped.push_back(hexDigits[byte & 0xf]);
    }
    return escaped;
}

// The server's origin, path, "?name=...&score=...&level=...&munchets=...&food=...".
std::string UrlWithGameQuery(const std::string& host, const char* path, const ScoreSubmission& submission) {
    std::string url = ScoreServerOrigin(host) + path + "?name=" + PercentEscaped(submission.name);
    url += "&score=" + std::to_string(submission.score);
    url += "&level=" + std::to_string(submission.level);
    url += "&munchets=" + std::to_string(submission.munchets);
    url += "&food=" + std::to_string(submission.food);
    return url;
}

}  // namespace

std::string SubmissionUrl(const std::string& host, const ScoreSubmission& submission) {
    return UrlWithGameQuery(host, "/hosted/vlkn/scores/pr/add.php", submission);
}

std::string ReplayUrl(const std::string& host, const ScoreSubmission& submission) {
    return UrlWithGameQuery(host, "/hosted/vlkn/scores/pr/replay.php", submission);
}

std::string TableUrl(const std::string& host) {
    return ScoreServerOrigin(host) + "/hosted/vlkn/scores/pr/view.php";
}

std::string TicketUrl(const std::string& host) {
    return ScoreServerOrigin(host) + "/hosted/vlkn/scores/pr/ticket.php";
}

std::string GameStartUrl(const std::string& host, const GameTicket& ticket) {
    constexpr char hexDigits[] = "0123456789abcdef";
    std::string url =
        ScoreServerOrigin(host) + "/hosted/vlkn/scores/pr/start.php?ticket=" + std::to_string(ticket.id);
    url += "&mac=";
    for (std::uint8_t byte : ticket.mac) {
        url.push_back(hexDigits[byte >> 4]);
        url.push_back(hexDigits[byte & 0xf]);
    }
    return url;
}
