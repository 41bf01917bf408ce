// The one line the server logs per request.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

// "2026-01-31T12:00:00.123Z 203.0.113.9 GET /hosted/vlkn/scores/pr/view.php 200 0.42ms"
// wallTime: when the line is written. client: the recorded client address.
// target: the raw request target; only its path is logged (the query holds a
// player's name), with every byte outside '!'..'~' written as \xNN and the
// whole cut to 200 bytes, so a hostile request cannot forge log lines.
std::string FormatRequestLogLine(std::chrono::system_clock::time_point wallTime, std::string_view client,
                                 std::string_view method, std::string_view target, int status,
                                 std::chrono::nanoseconds duration);

// Writes a line (without its "\n") to stderr in one write, so lines from
// concurrent requests never interleave.
void WriteLogLine(std::string_view line);
