#include "scores/score_client.h"

#include <memory>

#include "scores/curl_library.h"
#include "scores/score_host.h"
#include "scores/table_parser.h"

std::string responseText;

namespace {

struct HandleCloser {
    void operator()(CURL* handle) const { Curl()->easyCleanup(handle); }
};
using CurlHandle = std::unique_ptr<CURL, HandleCloser>;

// Null without libcurl: the request is then not made.
CurlHandle newHandle() { return CurlHandle(Curl() ? Curl()->easyInit() : nullptr); }

// The reply to a submission carries nothing the game uses; without a write
// function libcurl would print it on stdout.
std::size_t discardReply(char*, std::size_t size, std::size_t count, void*) { return size * count; }

// Sets what both requests share. The time-outs keep a dead or silent server
// from freezing the game for minutes; no signals, since the alarm libcurl
// would otherwise use for them is process-wide.
void prepare(CURL* handle, const std::string& url, curl_write_callback writer) {
    const auto setopt = Curl()->easySetopt;
    setopt(handle, CURLOPT_URL, url.c_str());
    setopt(handle, CURLOPT_WRITEFUNCTION, writer);
    setopt(handle, CURLOPT_NOSIGNAL, 1L);
    setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, RequestConnectTimeoutMs);
    setopt(handle, CURLOPT_TIMEOUT_MS, RequestTimeoutMs);
}

std::string serverUrl(const char* pathAndQuery) { return "http://" + ScoreServerHost() + pathAndQuery; }

// The HTTP status of a completed transfer; 0 when it did not complete.
long performRequest(CURL* handle) {
    long status = 0;
    if (Curl()->easyPerform(handle) != CURLE_OK) return 0;
    if (Curl()->easyGetinfo(handle, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) return 0;
    return status;
}

bool isSuccess(long status) { return status >= 200 && status <= 299; }

SubmissionFate submit(const ScoreSubmission& submission) {
    CurlHandle handle = newHandle();
    if (!handle) return SubmissionFate::Lost;
    // Without the escaped name there is nothing sound to send.
    char* escaped = Curl()->easyEscape(handle.get(), submission.name.c_str(), 0);
    if (!escaped) return SubmissionFate::Lost;
    std::string url = serverUrl("/hosted/vlkn/scores/pr/add.php?name=");
    url += escaped;
    Curl()->free(escaped);
    url += "&score=" + std::to_string(submission.score);
    url += "&level=" + std::to_string(submission.level);
    url += "&munchets=" + std::to_string(submission.munchets);
    url += "&food=" + std::to_string(submission.food);
    prepare(handle.get(), url, discardReply);
    const long status = performRequest(handle.get());
    if (isSuccess(status)) return SubmissionFate::Stored;
    return status == 400 ? SubmissionFate::Refused : SubmissionFate::Lost;
}

}  // namespace

std::size_t ReceiveResponse(char* data, std::size_t size, std::size_t count, void*) {
    const std::size_t n = size * count;
    if (responseText.size() < MaxResponseLength) responseText.append(data, n);
    return n;
}

ScoreExchangeResult ExchangeScores(const ScoreSubmission* submission) {
    ScoreExchangeResult result;
    // Whether the submission arrived changes nothing here: the table is
    // fetched next either way.
    if (submission) result.fate = submit(*submission);
    responseText.clear();
    if (CurlHandle handle = newHandle()) {
        prepare(handle.get(), serverUrl("/hosted/vlkn/scores/pr/view.php"), ReceiveResponse);
        result.tableReceived = isSuccess(performRequest(handle.get()));
    }
    if (result.tableReceived) result.rows = ParseHighscoreTable(responseText);
    return result;
}
