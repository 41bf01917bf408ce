// What the game asks of the score server when a game ends, and what it gets
// back. The rules only leave the request (Game::exchangeWanted); the layer
// above runs the exchange (scores/) and hands the result back, so the rules
// never reach the network on their own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/game_ticket.h"
#include "game/highscore_entry.h"

// One finished game as the score server stores it.
struct ScoreSubmission {
    std::string name;  // as typed: 1 to 20 name characters
    std::int32_t score = 0;
    std::int32_t level = 0;
    std::int32_t munchets = 0;
    std::int32_t food = 0;
};

// One exchange as the rules want it: this game's score to send, if any,
// then the table to fetch.
struct ScoreExchangeRequest {
    std::optional<ScoreSubmission> submission;  // none: only the table
};

// What became of this game's submission in the exchange.
enum class SubmissionFate {
    None,       // nothing was to be sent: an empty name, or only the table was asked for
    Stored,     // the server acknowledged it (2xx)
    Refused,    // the server refused it as invalid (400); it is not kept
    Kept,       // it surely did not arrive and waits in the outbox for the next exchange
    Uncertain,  // sent, but no answer in time: it may be stored, so it is not sent again
    Lost,       // it did not arrive and there is no outbox to keep it in
};

struct ScoreExchangeResult {
    bool tableReceived = false;        // a complete 2xx answer to the table request
    std::vector<HighscoreEntry> rows;  // the parsed table; empty unless tableReceived
    SubmissionFate fate = SubmissionFate::None;
};

// The answer of a run with no score server (a replay being watched): no
// table, and a score to send is lost, as nothing keeps it.
inline ScoreExchangeResult NoScoreServer(const ScoreExchangeRequest& request) {
    ScoreExchangeResult result;
    if (request.submission) result.fate = SubmissionFate::Lost;
    return result;
}

// Hands over the score server's ticket for the game about to begin, once
// (scores/ keeps them): the game then plays from the ticket's random state.
// One not Held: none is at hand, and the game plays on from the generator as
// it stands. Called on the frame: it never waits.
using TicketFunction = GameTicket (*)();
