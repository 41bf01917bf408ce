#include "scores/ticket_requests.h"

namespace {

// Each thread's answer so far: the fetch may run beside the exchange's own
// table request, which has its own buffer.
thread_local std::string answer;
thread_local bool answerTooLong = false;

std::size_t ReceiveAnswer(char* data, std::size_t size, std::size_t count, void*) {
    const std::size_t n = size * count;
    if (answer.size() + n > MaxTicketAnswerBytes) {
        answerTooLong = true;
        return 0;  // a hostile server's endless answer ends the transfer here
    }
    answer.append(data, n);
    return n;
}

RequestOutcome Get(const std::string& url, RequestLimits limits) {
    answer.clear();
    answerTooLong = false;
    return PerformRequest(url, limits, ReceiveAnswer);
}

// The first line of the answer, as it may go into the log.
std::string Reason() {
    std::string line = answer.substr(0, std::min(answer.find('\n'), std::size_t{200}));
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) c = '?';
    return line;
}

std::string Failure(const RequestOutcome& outcome) {
    if (answerTooLong) return "the answer is longer than a ticket";
    const std::string reason = outcome.complete ? Reason() : std::string();
    return outcome.failure() + (reason.empty() ? "" : ": " + reason);
}

}  // namespace

TicketFetch FetchTicket(const std::string& host, RequestLimits limits) {
    TicketFetch fetch;
    const RequestOutcome outcome = Get(TicketUrl(host), limits);
    if (!outcome.succeeded()) {
        fetch.failure = Failure(outcome);
        return fetch;
    }
    fetch.ticket = ParseTicket(answer);
    if (!fetch.ticket) fetch.failure = "the answer is no ticket: \"" + Reason() + "\"";
    return fetch;
}

std::string AnnounceGameStart(const std::string& host, const GameTicket& ticket, RequestLimits limits) {
    const RequestOutcome outcome = Get(GameStartUrl(host, ticket), limits);
    return outcome.succeeded() ? std::string() : Failure(outcome);
}
