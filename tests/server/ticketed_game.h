// A game the server will play again: recorded on a ticket of the server's,
// its start heard and, as far as the store knows, as long ago as its frames
// say. Only such a game can be proven.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/game_ticket.h"
#include "replay/replay_file.h"
#include "server/store/ticket_mint.h"
#include "tests/server/server_test_support.h"

// record plays the game from the ticket's random state; execute runs SQL on
// the server's database (empty on success).
inline Replay TicketedGame(int port, const std::function<Replay(const RandomState&)>& record,
                           const std::function<std::string(const std::string&)>& execute) {
    const std::optional<GameTicket> t = ParseTicket(RawGet(port, "/hosted/vlkn/scores/pr/ticket.php").body);
    EXPECT_TRUE(t.has_value());
    if (!t) return {};
    Replay replay = record(t->random);
    replay.summary.startRandom = t->random;
    replay.summary.ticket = *t;
    double seconds = 0;
    for (const ReplayFrame& frame : replay.frames) seconds += frame.frameTime;
    const std::string id = std::to_string(t->id);
    EXPECT_EQ(RawGet(port, "/hosted/vlkn/scores/pr/start.php?ticket=" + id + "&mac=" + KeyToHex(t->mac)).body,
              "OK\n");
    EXPECT_EQ(execute("UPDATE tickets SET started_at = started_at - " +
                      std::to_string(static_cast<std::int64_t>(seconds * 1000)) + " WHERE id = " + id),
              "");
    return replay;
}
