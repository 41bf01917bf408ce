// The receive buffer of the table request. The exchange itself, with its
// time budget and its outbox, is scores/score_exchange_client.h.
#pragma once

#include <cstddef>
#include <string>

// The body of the table request as received so far, one per thread (two
// clients may exchange at once on threads of their own); emptied at the start
// of every table request, written only by ReceiveResponse.
extern thread_local std::string responseText;

// Chunks stop being kept once responseText holds this many characters; the
// test is made once per chunk, so the text may pass it by up to one chunk.
inline constexpr std::size_t MaxResponseLength = 100000;

// libcurl's write callback for the table request: appends the size * count
// bytes at data to responseText while it holds fewer than MaxResponseLength
// characters, drops them otherwise, and returns size * count either way so
// the transfer is never aborted. The user pointer is not used.
std::size_t ReceiveResponse(char* data, std::size_t size, std::size_t count, void* user);
