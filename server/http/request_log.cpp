#include "server/http/request_log.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <mutex>

namespace {

constexpr std::size_t maxLoggedPath = 200;

void AppendEscaped(std::string& out, std::string_view text, std::size_t limit) {
    static constexpr char hex[] = "0123456789abcdef";
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (out.size() >= limit) {
            out += "...";
            return;
        }
        const auto c = static_cast<unsigned char>(text[i]);
        if (c > ' ' && c < 127 && c != '\\') {
            out.push_back(static_cast<char>(c));
        } else {
            out += "\\x";
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        }
    }
}

}  // namespace

std::string FormatRequestLogLine(std::chrono::system_clock::time_point wallTime, std::string_view client,
                                 std::string_view method, std::string_view target, int status,
                                 std::chrono::nanoseconds duration) {
    using namespace std::chrono;
    const auto sinceEpoch = wallTime.time_since_epoch();
    const std::time_t seconds = static_cast<std::time_t>(floor<std::chrono::seconds>(sinceEpoch).count());
    const auto millis =
        duration_cast<milliseconds>(sinceEpoch - floor<std::chrono::seconds>(sinceEpoch)).count();
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(millis));

    std::string line = stamp;
    line.push_back(' ');
    AppendEscaped(line, client.empty() ? "-" : client, line.size() + 64);
    line.push_back(' ');
    AppendEscaped(line, method.empty() ? "-" : method, line.size() + 16);
    line.push_back(' ');
    const std::string_view path = target.substr(0, target.find('?'));
    AppendEscaped(line, path.empty() ? "-" : path, line.size() + maxLoggedPath);
    char tail[48];
    std::snprintf(tail, sizeof tail, " %d %.2fms", status,
                  duration_cast<nanoseconds>(duration).count() / 1e6);
    line += tail;
    return line;
}

void WriteLogLine(std::string_view line) {
    static std::mutex mutex;
    std::string text(line);
    text.push_back('\n');
    std::lock_guard lock(mutex);
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(STDERR_FILENO, text.data() + written, text.size() - written);
        if (n <= 0) return;  // a closed stderr must not stop the server
        written += static_cast<std::size_t>(n);
    }
}
