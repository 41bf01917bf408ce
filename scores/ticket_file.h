// The game ticket kept between runs in the player's data folder, beside the
// score outbox (scores/outbox_file.h), whose lock covers it too:
//   game-ticket.txt           one ticket in its text form
//                             (common/game_ticket.h) and a line feed;
//                             absent when none is kept
//   game-ticket.txt.tmp       the next version while it is written
//   game-ticket.damaged.txt   the last file that held no ticket, set aside
//                             for a person to look at
// A running game takes the kept ticket out of the file, so two copies of the
// game never begin games with the same ticket, and puts back the one it
// holds unused when it ends. A game that crashes loses its ticket: the next
// run fetches another.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/game_ticket.h"

struct KeptTicket {
    std::optional<GameTicket> ticket;
    // One line for the log when the file could not be used or was damaged;
    // empty when it was sound or absent.
    std::string note;
};

// With the outbox's lock held: the folder's ticket, taken out of it (a
// damaged file is set aside instead).
KeptTicket TakeKeptTicket(const std::string& folder);

// With the outbox's lock held: keeps ticket in the file, unless the file
// already keeps one issued later. False, with the reason in error, when the
// file could not be written.
bool KeepTicket(const std::string& folder, const GameTicket& ticket, std::string& error);
