#include "scores/score_client.h"

#include <curl/curl.h>

#include <memory>

#include "game/game.h"
#include "scores/score_server.h"
#include "scores/table_parser.h"

std::string responseText;

namespace {

using CurlHandle = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;

// libcurl's global set-up, once per process: repeating it gains nothing and
// it is not safe to run while another thread uses libcurl.
bool curlReady() {
    static const bool ready = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
    return ready;
}

CurlHandle newHandle() { return CurlHandle(curlReady() ? curl_easy_init() : nullptr, &curl_easy_cleanup); }

// The reply to a submission carries nothing the game uses; without a write
// function libcurl would print it on stdout.
std::size_t discardReply(char*, std::size_t size, std::size_t count, void*) { return size * count; }

// Sets what both requests share. The time-outs keep a dead or silent server
// from freezing the game for minutes; no signals, since the alarm libcurl
// would otherwise use for them is process-wide.
void prepare(CURL* handle, const std::string& url, curl_write_callback writer) {
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, writer);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, RequestConnectTimeoutMs);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, RequestTimeoutMs);
}

// True when the transfer completed with a 2xx status.
bool performRequest(CURL* handle) {
    if (curl_easy_perform(handle) != CURLE_OK) return false;
    long status = 0;
    if (curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) return false;
    return status >= 200 && status <= 299;
}

std::string serverUrl(const char* pathAndQuery) { return "http://" + ScoreServerHost() + pathAndQuery; }

}  // namespace

std::size_t ReceiveResponse(char* data, std::size_t size, std::size_t count, void*) {
    const std::size_t n = size * count;
    if (responseText.size() < MaxResponseLength) responseText.append(data, n);
    return n;
}

void Game::SubmitScore() {
    if (!playerName.empty()) {
        if (CurlHandle handle = newHandle()) {
            // Without the escaped name there is nothing sound to send.
            if (char* escaped = curl_easy_escape(handle.get(), playerName.c_str(), 0)) {
                std::string url = serverUrl("/hosted/vlkn/scores/pr/add.php?name=");
                url += escaped;
                curl_free(escaped);
                url += "&score=" + std::to_string(score);
                url += "&level=" + std::to_string(level);
                url += "&munchets=" + std::to_string(munchets);
                url += "&food=" + std::to_string(food);
                prepare(handle.get(), url, discardReply);
                // Whether it arrived changes nothing: the table is fetched next
                // either way, and a lost submission is not retried.
                performRequest(handle.get());
            }
        }
    }
    FetchHighscores();
}

void Game::FetchHighscores() {
    responseText.clear();
    bool answered = false;
    if (CurlHandle handle = newHandle()) {
        prepare(handle.get(), serverUrl("/hosted/vlkn/scores/pr/view.php"), ReceiveResponse);
        answered = performRequest(handle.get());
    }
    // A failed transfer or an error status leaves no table: an error page or
    // half a body would only show up as made-up rows.
    highscores.clear();
    if (answered) highscores = ParseHighscoreTable(responseText);
    highscoresUnavailable = !answered;
}
