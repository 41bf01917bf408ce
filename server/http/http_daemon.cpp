#include "server/http/http_daemon.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "server/http/tls_certificate.h"

namespace {

using namespace std::chrono_literals;

// The library's own connection limit sits this far (per thread) above ours,
// so that it never stops accepting and leaves newcomers waiting in the
// backlog: the connection table turns them away at once instead.
constexpr unsigned libraryLimitHeadroomPerThread = 16;
// Descriptors the server keeps besides connections: standard streams, the
// listening socket, two database connections with their log and index files,
// one more database connection per page thread (ScoreServerConfig's default
// of 2), and per thread an epoll instance and a wake-up channel.
constexpr std::uint64_t ownDescriptors = 40;
constexpr std::uint64_t ownDescriptorsPerThread = 4;
// Room in each connection's memory pool beyond two requests' worth (one being
// parsed, one read ahead): the library's header records and the reply's headers.
constexpr std::size_t poolOverhead = 4096;

}  // namespace

MHD_Daemon* StartHttpDaemon(const ScoreServerConfig& config, int listenFd, std::size_t connections,
                            const DaemonCallbacks& callbacks) {
    const unsigned threads = static_cast<unsigned>(std::max(config.threads, 1));
    const unsigned connectionLimit =
        static_cast<unsigned>(connections) + libraryLimitHeadroomPerThread * threads;
    // A backstop only: the sweep closes a silent connection long before.
    const auto silence = std::chrono::ceil<std::chrono::seconds>(config.ioTimeout + config.idleTimeout) + 1s;
    std::vector<MHD_OptionItem> options = {
        {MHD_OPTION_LISTEN_SOCKET, listenFd, nullptr},
        {MHD_OPTION_CONNECTION_LIMIT, connectionLimit, nullptr},
        {MHD_OPTION_CONNECTION_TIMEOUT, static_cast<intptr_t>(silence.count()), nullptr},
        {MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<intptr_t>(2 * config.maxRequestBytes + poolOverhead),
         nullptr},
        {MHD_OPTION_NOTIFY_CONNECTION, reinterpret_cast<intptr_t>(callbacks.connection), callbacks.cls},
        {MHD_OPTION_URI_LOG_CALLBACK, reinterpret_cast<intptr_t>(callbacks.requestLine), callbacks.cls},
        {MHD_OPTION_NOTIFY_COMPLETED, reinterpret_cast<intptr_t>(callbacks.completed), callbacks.cls},
    };
    if (threads > 1) options.push_back({MHD_OPTION_THREAD_POOL_SIZE, threads, nullptr});
    // The pair is picked at each handshake, so a reload needs no restart.
    if (config.tls) options.push_back({MHD_OPTION_HTTPS_CERT_CALLBACK, 0, TlsCertificateSelector()});
    options.push_back({MHD_OPTION_END, 0, nullptr});
    const unsigned tls = config.tls ? MHD_USE_TLS : 0;
    return MHD_start_daemon(
        MHD_USE_EPOLL_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ERROR_LOG | tls, 0, nullptr,
        nullptr, callbacks.request, callbacks.cls, MHD_OPTION_EXTERNAL_LOGGER, callbacks.log, callbacks.cls,
        MHD_OPTION_ARRAY, options.data(), MHD_OPTION_END);
}

std::string DaemonStartFailure(bool tls) {
    return tls && MHD_is_feature_supported(MHD_FEATURE_HTTPS_CERT_CALLBACK) != MHD_YES
               ? "this libmicrohttpd was built without TLS certificate callbacks: no HTTPS"
               : "libmicrohttpd did not start";
}

int DaemonConnectionsThatFit(int wanted, int threads, std::uint64_t openFileLimit) {
    const auto perThread = libraryLimitHeadroomPerThread + ownDescriptorsPerThread;
    const std::uint64_t reserved =
        ownDescriptors + perThread * static_cast<std::uint64_t>(std::max(threads, 1));
    if (openFileLimit <= reserved) return 0;
    return static_cast<int>(
        std::min<std::uint64_t>(static_cast<std::uint64_t>(std::max(wanted, 0)), openFileLimit - reserved));
}
