#include "scores/score_client.h"

thread_local std::string responseText;

std::size_t ReceiveResponse(char* data, std::size_t size, std::size_t count, void*) {
    const std::size_t n = size * count;
    if (responseText.size() < MaxResponseLength) responseText.append(data, n);
    return n;
}
