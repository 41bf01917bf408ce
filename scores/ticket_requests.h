// The score server's two requests about game tickets (common/game_ticket.h):
// fetching a fresh ticket from ticket.php, and telling start.php that the
// game of a ticket began. Bounded like every request of the score client,
// never following a redirect; safe on any thread once libcurl is open.
#pragma once

#include <optional>
#include <string>

#include "common/game_ticket.h"
#include "scores/score_request.h"

// Longer answers are no ticket: one is about 130 characters.
inline constexpr std::size_t MaxTicketAnswerBytes = 1024;

struct TicketFetch {
    std::optional<GameTicket> ticket;  // none unless a 2xx answer was exactly one ticket
    std::string failure;               // why there is none, for the log
};

TicketFetch FetchTicket(const std::string& host, RequestLimits limits);

// Empty when the server took the start (2xx); otherwise why not, for the
// log, with the server's one-line reason when it gave one.
std::string AnnounceGameStart(const std::string& host, const GameTicket& ticket, RequestLimits limits);
