#pragma once

#include <functional>
#include <string_view>

// Where a part sends its log lines (each without its "\n"), given by whoever
// owns the log: the game's log file, a test's list. Empty: stderr.
using LogSink = std::function<void(std::string_view line)>;

// Hands line to sink, or, when there is none, writes it and a "\n" to
// stderr in one write, so that lines from several threads do not mix.
void LogTo(const LogSink& sink, std::string_view line);
