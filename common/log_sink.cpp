#include "common/log_sink.h"

#include <cstdio>
#include <string>

void LogTo(const LogSink& sink, std::string_view line) {
    if (sink) {
        sink(line);
        return;
    }
    std::string text(line);
    text.push_back('\n');
    std::fwrite(text.data(), 1, text.size(), stderr);
}
