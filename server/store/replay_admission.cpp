#include "server/store/replay_admission.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

ReplayAdmission Attach(std::string reason) { return {ReplayAdmission::Kind::attach, 200, std::move(reason)}; }

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

std::int64_t GameMs(const Replay& replay) {
    double seconds = 0;
    for (const ReplayFrame& frame : replay.frames) seconds += frame.frameTime;
    return static_cast<std::int64_t>(std::llround(seconds * 1000.0));
}

// The most time a verified game may account for between its start and its
// replay's arrival.
std::int64_t AccountedMs(const Replay& replay) {
    return GameMs(replay) + std::min(replay.summary.standingStillMs, maxStandingStillMs) + afterGameMs +
           clockSlackMs;
}

}  // namespace

ReplayAdmission AdmitTicket(const Replay& replay, const TicketMint& mint, std::int64_t arrivedMs) {
    const ReplaySummary& summary = replay.summary;
    if (!summary.ticket.Held()) return Attach("a game begun without a ticket is not played again");
    const TicketFault fault = mint.Check(summary.ticket, (arrivedMs - AccountedMs(replay)) / 1000);
    if (fault == TicketFault::none) return {ReplayAdmission::Kind::verify, 200, {}};
    return {ReplayAdmission::Kind::refuse, fault == TicketFault::expired ? 410 : 403,
            "replay refused: " + std::string(TicketFaultText(fault))};
}

std::int64_t FirstHurriedWindow(const Replay& replay) {
    const std::vector<ReplayFrame>& frames = replay.frames;
    // Prefix sums in double: exact enough for any window of a 6-hour game.
    std::vector<double> before(frames.size() + 1, 0.0);
    for (std::size_t i = 0; i < frames.size(); ++i) before[i + 1] = before[i] + frames[i].frameTime;
    for (std::size_t i = 0; i + paceWindowFrames <= frames.size(); ++i) {
        const double window = before[i + paceWindowFrames] - before[i];
        if (!(window >= paceWindowSeconds)) return static_cast<std::int64_t>(i);
    }
    return -1;
}

ReplayAdmission AdmitTicketedGame(const Replay& replay, const TicketRecord& ticket, std::int64_t arrivedMs) {
    if (ticket.used) return {ReplayAdmission::Kind::refuse, 409, std::string(ticketUsedReason)};
    if (!ticket.startedAtMs) return Attach("the server never heard this game begin");
    const std::int64_t hurried = FirstHurriedWindow(replay);
    if (hurried >= 0)
        return Attach("frames " + std::to_string(hurried + 1) + " to " +
                      std::to_string(hurried + paceWindowFrames) + " went faster than real time");
    const std::uint32_t stood = replay.summary.standingStillMs;
    if (stood > maxStandingStillMs) return Attach("it claims to have stood still too long");
    const std::int64_t gameMs = GameMs(replay);
    const std::int64_t seenMs = arrivedMs - *ticket.startedAtMs;
    if (seenMs < gameMs - clockSlackMs)
        return Attach("its frames add up to " + Seconds(gameMs / 1000.0) + ", but only " +
                      Seconds(seenMs / 1000.0) + " passed since it began");
    if (seenMs > AccountedMs(replay))
        return Attach(Seconds(seenMs / 1000.0) + " passed since it began, more than its frames (" +
                      Seconds(gameMs / 1000.0) + ") and its pauses account for");
    return {ReplayAdmission::Kind::verify, 200, {}};
}
