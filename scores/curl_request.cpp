#include <cstdlib>
#include <memory>

#include "scores/curl_library.h"
#include "scores/score_host.h"
#include "scores/score_request.h"

namespace {

struct HandleCleanup {
    void operator()(CURL* handle) const { Curl()->easyCleanup(handle); }
};
using CurlHandle = std::unique_ptr<CURL, HandleCleanup>;

// Null when libcurl cannot be had; it is opened and set up on first use.
CurlHandle newHandle() {
    const CurlLibrary* curl = Curl();
    return CurlHandle(curl ? curl->easyInit() : nullptr);
}

// Names a PEM file of certificate authorities trusted instead of the
// system's: how the tests reach a server with a certificate of their own.
constexpr const char* testCaFileVariable = "MUNCHET_SCORE_CA_FILE";

// Without a write function libcurl would print the body on stdout.
std::size_t discardBody(char*, std::size_t size, std::size_t count, void*) { return size * count; }

// TLS is set up, and the server's certificate checked, before any byte of
// the request can go: a failure there surely sent nothing.
bool TlsSetUpFailed(CURLcode code) {
    switch (code) {
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_ENGINE_INITFAILED:
            return true;
        default:
            return false;
    }
}

struct MultiCleanup {
    void operator()(CURLM* multi) const { Curl()->multiCleanup(multi); }
};
using MultiHandle = std::unique_ptr<CURLM, MultiCleanup>;

// Runs the transfer to its end, or until stop reads true (stopped is then
// set). Through the multi interface, in short waits: libcurl's progress
// callback may keep silent for a second while a server says nothing.
CURLcode Transfer(const CurlLibrary& library, CURL* curl, const std::atomic<bool>* stop, bool& stopped) {
    const MultiHandle multi(library.multiInit());
    if (!multi || library.multiAddHandle(multi.get(), curl) != CURLM_OK) return CURLE_OUT_OF_MEMORY;
    // Only what libcurl reports as done ends the transfer well.
    CURLcode result = CURLE_GOT_NOTHING;
    while (true) {
        int running = 0;
        if (library.multiPerform(multi.get(), &running) != CURLM_OK) break;
        bool done = running == 0;
        int queued = 0;
        while (CURLMsg* message = library.multiInfoRead(multi.get(), &queued)) {
            if (message->msg != CURLMSG_DONE) continue;
            result = message->data.result;
            done = true;
        }
        if (done) break;
        if (stop && stop->load()) {
            stopped = true;
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        // libcurl shortens the wait to its own next time-out.
        library.multiPoll(multi.get(), nullptr, 0, static_cast<int>(StopCheckInterval.count()), nullptr);
    }
    library.multiRemoveHandle(multi.get(), curl);
    return result;
}

}  // namespace

RequestOutcome PerformRequest(const std::string& url, RequestLimits limits, BodyWriter writer,
                              std::optional<std::string_view> postBody) {
    const auto start = std::chrono::steady_clock::now();
    RequestOutcome outcome;
    CurlHandle handle = newHandle();
    if (!handle) {
        outcome.error = "libcurl could not set up a request";
        return outcome;
    }
    const CurlLibrary& library = *Curl();
    CURL* curl = handle.get();
    char errorText[CURL_ERROR_SIZE] = "";
    library.easySetopt(curl, CURLOPT_URL, url.c_str());
    library.easySetopt(curl, CURLOPT_WRITEFUNCTION, writer ? writer : discardBody);
    library.easySetopt(curl, CURLOPT_WRITEDATA, nullptr);
    library.easySetopt(curl, CURLOPT_ERRORBUFFER, errorText);
    library.easySetopt(curl, CURLOPT_NOSIGNAL, 1L);
    // Whatever the URL says, nothing but HTTP and HTTPS; a certificate is
    // always checked, against the system's authorities or the test's own.
    library.easySetopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    library.easySetopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    library.easySetopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (const char* authorities = std::getenv(testCaFileVariable))
        library.easySetopt(curl, CURLOPT_CAINFO, authorities);
    // 0 would mean "no limit" to libcurl.
    library.easySetopt(curl, CURLOPT_TIMEOUT_MS,
                       static_cast<long>(std::max<long long>(1, limits.total.count())));
    library.easySetopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                       static_cast<long>(std::max<long long>(1, limits.connect.count())));
    struct HeaderList {
        const CurlLibrary& library;
        curl_slist* list = nullptr;
        ~HeaderList() { library.slistFreeAll(list); }
    } headers{library};
    if (postBody) {
        // An empty Expect: libcurl would otherwise wait up to a second for a
        // "100 Continue" before sending a body of more than a kilobyte.
        for (const char* header : {"Content-Type: application/octet-stream", "Expect:"}) {
            curl_slist* longer = library.slistAppend(headers.list, header);
            if (!longer) {
                outcome.error = "libcurl could not set up a request";
                return outcome;
            }
            headers.list = longer;
        }
        library.easySetopt(curl, CURLOPT_POST, 1L);
        library.easySetopt(curl, CURLOPT_POSTFIELDS, postBody->data());
        library.easySetopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(postBody->size()));
        library.easySetopt(curl, CURLOPT_HTTPHEADER, headers.list);
    }
    const CURLcode code = Transfer(library, curl, limits.stop, outcome.stopped);

    curl_off_t connectTime = 0;
    long requestSize = 0;
    library.easyGetinfo(curl, CURLINFO_RESPONSE_CODE, &outcome.status);
    library.easyGetinfo(curl, CURLINFO_CONNECT_TIME_T, &connectTime);
    library.easyGetinfo(curl, CURLINFO_REQUEST_SIZE, &requestSize);
    outcome.complete = code == CURLE_OK;
    outcome.sent = outcome.complete || (connectTime > 0 && !TlsSetUpFailed(code)) || requestSize > 0;
    if (outcome.stopped)
        outcome.error = "given up unanswered: the game is quitting";
    else if (!outcome.complete)
        outcome.error = errorText[0] ? errorText : library.easyStrerror(code);
    outcome.took =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    return outcome;
}
