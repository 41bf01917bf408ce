// A game begun with the score server's ticket plays from the ticket's random
// state, whatever the client's own generator held, and its replay carries
// the ticket; a game begun without one is seeded as it always was.
#include <gtest/gtest.h>

#include "replay/replay_verifier.h"
#include "tests/replay/replay_support.h"

namespace {

GameTicket ServerTicket() {
    GameTicket ticket;
    ticket.id = 4711;
    ticket.issuedAt = 1767225600;
    ticket.random = {0x243f6a8885a308d3ULL, 0x13198a2e03707345ULL};
    ticket.mac.fill(0xa5);
    return ticket;
}
GameTicket HandOutServerTicket() { return ServerTicket(); }

class TicketedGame : public ::testing::TestWithParam<Start> {};

TEST_P(TicketedGame, PlaysFromTheTicketWhateverTheClientsSeed) {
    std::optional<Recorded> first;
    for (int seed : {11, 12345}) {
        const Recorded ticketed = Record({.name = "ticketed",
                                          .seed = seed,
                                          .start = GetParam(),
                                          .playFrames = 300,
                                          .takeTicket = HandOutServerTicket});
        EXPECT_EQ(ticketed.replay.summary.startRandom, ServerTicket().random);
        const ReplayReading back = ReadReplay(WriteReplay(ticketed.replay));
        ASSERT_TRUE(back.ok) << back.error;
        EXPECT_EQ(back.replay.summary.ticket, ServerTicket());
        EXPECT_TRUE(VerifyReplay(back.replay).proven());
        // Begun at start-up or on the table, nothing of the client's
        // generator reaches the game.
        if (GetParam() != Start::AtStartUp && GetParam() != Start::ByRAfterGame) continue;
        if (first)
            EXPECT_EQ(ticketed.hash, first->hash) << "seed " << seed;
        else
            first = ticketed;
    }
    const Recorded ticketless = Record({"ticketless", 11, GetParam(), false, 300});
    EXPECT_FALSE(ticketless.replay.summary.ticket.Held());
    EXPECT_NE(ticketless.replay.summary.startRandom, ServerTicket().random);
}

INSTANTIATE_TEST_SUITE_P(Beginnings, TicketedGame,
                         ::testing::Values(Start::AtStartUp, Start::ByF1Held, Start::ByF2,
                                           Start::ByRAfterGame));

}  // namespace
