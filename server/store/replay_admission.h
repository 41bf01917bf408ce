// What a replay must show before it is played again: the checks that need
// no replaying, cheap enough for every upload, so that nothing the verifier
// would refuse or could not prove ever waits in its queue.
//
// A ticketless game is never played again: its random state was the
// client's choice, so the best it gets is ATTACHED. A ticketed game is
// refused outright when its ticket is forged, expired or used by another
// row; it is ATTACHED without being played when the server never heard it
// begin, when its frames break the pace, or when they do not fit the time
// the server's own clock saw pass between its start and the replay.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "replay/replay_file.h"
#include "server/store/score_store.h"
#include "server/store/ticket_mint.h"

// Every run of this many frames must add up to at least paceWindowSeconds:
// the engine's frame clock advances its deadlines by 10 ms however late a
// frame wakes, so 100 honest frames span at least 98 periods; 0.95 s leaves
// room for a loaded machine and none for slow motion near the munchets.
inline constexpr std::uint32_t paceWindowFrames = 100;
inline constexpr double paceWindowSeconds = 0.95;
// How far the server's clock may disagree with the game's frames, either way:
// the start request's and the upload's trip, the clocks' ticks.
inline constexpr std::int64_t clockSlackMs = 3500;
// After its last frame a game waits for its name and its score exchange
// before the replay is sent; that much more time may pass unaccounted.
inline constexpr std::int64_t afterGameMs = 60'000;
// The most standing-still time (a frozen window, the game's own score
// exchange) a verified game may claim.
inline constexpr std::uint32_t maxStandingStillMs = 120'000;

// The answer, with 409, to a replay whose ticket proved a row already.
inline constexpr std::string_view ticketUsedReason = "replay refused: its ticket already proved a row";

struct ReplayAdmission {
    enum class Kind {
        verify,  // play it again
        attach,  // store it unverified, unplayed (reason says why)
        refuse,  // answer status with reason, store nothing
    };
    Kind kind = Kind::attach;
    int status = 200;    // for refuse: a 4xx
    std::string reason;  // one line, no newline; empty for verify
};

// The ticket alone: genuine, and unexpired when the game began at the
// latest (arrivedMs, ms since 1970, less the time the replay accounts for:
// start.php holds the start itself to the ticket's lifetime). Needs no store.
ReplayAdmission AdmitTicket(const Replay& replay, const TicketMint& mint, std::int64_t arrivedMs);

// The rest, given what the store holds of the ticket and when the replay
// arrived (ms since 1970). For a ticket that passed AdmitTicket.
ReplayAdmission AdmitTicketedGame(const Replay& replay, const TicketRecord& ticket, std::int64_t arrivedMs);

// The first run of paceWindowFrames frames adding up to less than
// paceWindowSeconds, as its first frame's index; -1 when there is none.
std::int64_t FirstHurriedWindow(const Replay& replay);
