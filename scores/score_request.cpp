#include "scores/score_request.h"

#include <curl/curl.h>

#include <memory>

namespace {

using CurlHandle = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;

// libcurl's global set-up, once per process: it is not safe to repeat while
// another thread uses libcurl.
CurlHandle newHandle() {
    static const bool ready = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
    return CurlHandle(ready ? curl_easy_init() : nullptr, &curl_easy_cleanup);
}

// Without a write function libcurl would print the body on stdout.
std::size_t discardBody(char*, std::size_t size, std::size_t count, void*) { return size * count; }

}  // namespace

std::string RequestOutcome::failure() const {
    if (complete) return "HTTP status " + std::to_string(status);
    return error;
}

RequestOutcome PerformRequest(const std::string& url, RequestLimits limits, BodyWriter writer) {
    const auto start = std::chrono::steady_clock::now();
    RequestOutcome outcome;
    CurlHandle handle = newHandle();
    if (!handle) {
        outcome.error = "libcurl could not set up a request";
        return outcome;
    }
    CURL* curl = handle.get();
    char errorText[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writer ? writer : discardBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, nullptr);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    // 0 would mean "no limit" to libcurl.
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS,
                     static_cast<long>(std::max<long long>(1, limits.total.count())));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(std::max<long long>(1, limits.connect.count())));
    const CURLcode code = curl_easy_perform(curl);

    curl_off_t connectTime = 0;
    long requestSize = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &outcome.status);
    curl_easy_getinfo(curl, CURLINFO_CONNECT_TIME_T, &connectTime);
    curl_easy_getinfo(curl, CURLINFO_REQUEST_SIZE, &requestSize);
    outcome.complete = code == CURLE_OK;
    outcome.sent = outcome.complete || connectTime > 0 || requestSize > 0;
    if (!outcome.complete) outcome.error = errorText[0] ? errorText : curl_easy_strerror(code);
    outcome.took =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    return outcome;
}

std::string SubmissionUrl(const std::string& host, const ScoreSubmission& submission) {
    CurlHandle handle = newHandle();
    if (!handle) return {};
    char* escaped = curl_easy_escape(handle.get(), submission.name.c_str(), 0);
    if (!escaped) return {};
    std::string url = "http://" + host + "/hosted/vlkn/scores/pr/add.php?name=" + escaped;
    curl_free(escaped);
    url += "&score=" + std::to_string(submission.score);
    url += "&level=" + std::to_string(submission.level);
    url += "&munchets=" + std::to_string(submission.munchets);
    url += "&food=" + std::to_string(submission.food);
    return url;
}

std::string TableUrl(const std::string& host) { return "http://" + host + "/hosted/vlkn/scores/pr/view.php"; }
