// PerformRequest in the browser: the page's own XMLHttpRequest to its own
// origin. A synchronous one, which a browser allows only off the page's main
// thread: the exchange and the ticket requests run on threads of their own
// (web workers) there as they do natively, so the frame never waits for it.
#include <cstdlib>
#include <memory>

#include "scores/score_request.h"

namespace {

// How munchet_http_request ended (scores/xhr_request.js).
enum class XhrEnd : int { Answered = 0, TimedOut = 1, NetworkError = 2, NotStarted = 3 };

}  // namespace

// In scores/xhr_request.js. The answer's body is malloc'ed into *answer.
extern "C" int munchet_http_request(const char* method, const char* url, const char* body, int bodyLength,
                                    int timeoutMs, int* status, char** answer, int* answerLength);

RequestOutcome PerformRequest(const std::string& url, RequestLimits limits, BodyWriter writer,
                              std::optional<std::string_view> postBody) {
    const auto start = std::chrono::steady_clock::now();
    RequestOutcome outcome;
    int status = 0, answerLength = 0;
    char* answer = nullptr;
    const auto end = static_cast<XhrEnd>(munchet_http_request(
        postBody ? "POST" : "GET", url.c_str(), postBody ? postBody->data() : nullptr,
        postBody ? static_cast<int>(postBody->size()) : 0,
        static_cast<int>(std::max<long long>(1, limits.total.count())), &status, &answer, &answerLength));
    const std::unique_ptr<char, decltype(&std::free)> owned(answer, &std::free);
    switch (end) {
        case XhrEnd::Answered:
            outcome.sent = outcome.complete = true;
            outcome.status = status;
            if (writer && answerLength > 0)
                writer(answer, 1, static_cast<std::size_t>(answerLength), nullptr);
            break;
        case XhrEnd::TimedOut:
            outcome.sent = true;
            outcome.error = "no answer within " + std::to_string(limits.total.count()) + " ms";
            break;
        case XhrEnd::NetworkError:
            // The browser does not tell whether a connection was ever made.
            // Taken as not sent, so the score waits in the outbox: a server
            // that is down is by far the likeliest reason, and a replay sent
            // twice is recognised by its digest.
            outcome.error = "the browser could not reach the server";
            break;
        case XhrEnd::NotStarted:
            outcome.error = "the browser refused the request";
            break;
    }
    outcome.took =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    return outcome;
}
